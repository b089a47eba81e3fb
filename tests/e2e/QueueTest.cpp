// timeclock queue: the punches a clock kept while its server was away, shown and sent.
#include "host/database/ClockDatabase.h"
#include "host/database/PunchQueue.h"
#include "tests/e2e/Timeclock.h"

namespace {

class QueueTest : public TimeclockTest {};

TEST_F(QueueTest, ShowsWhatWaitsAndSendsItOnce) {
    ScratchPostgres server;
    if (!server.available())
        GTEST_SKIP() << "no PostgreSQL cluster for the tests (STAMPKIND_TEST_POSTGRES)";
    std::ofstream(Config()) << nlohmann::json{{"database", server.uri()}}.dump();
    {
        auto record = std::make_shared<orvane::PunchRecord>("");
        record->Item("Punch Type")->SetValue(platform::Variant("I"));
        record->Item("Date In")->SetValue(platform::Variant(platform::Date{46360}));
        record->Item("Time In")->SetValue(platform::Variant(platform::Date{0.25}));
        orvane::PunchQueue(orvane::PunchQueue::BesideConfiguration(Config()))
            .Add("punch-1", {1204, record, {}, std::nullopt});
    }
    const auto shown = Run({"queue", "--config", Config().string()});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(
        shown.json()["waiting"],
        nlohmann::json::parse(R"([{"identity": "punch-1", "card": 1204, "punch_type": "I"}])"));

    for (int sending = 0; sending < 2; ++sending) {
        const auto sent = Run({"queue", "--config", Config().string(), "--send"});
        ASSERT_EQ(sent.status, 0) << sent.err;
        EXPECT_EQ(sent.json()["sent"], sending == 0 ? 1 : 0);
        EXPECT_EQ(sent.json()["waiting"], 0);
    }
    EXPECT_EQ(orvane::ClockDatabase(server.uri()).Rows(1204).size(), 1u);
    EXPECT_EQ(Run({"queue", "--config", Config().string()}).json()["waiting"].size(), 0u);

    // A punch the server cannot take is kept, and says so.
    server.Refuse();
    const auto punch =
        Run({"punch", "--db", server.uri(), "--config", Config().string(), "--now",
             "2026-12-04 12:00:00", "--no-pause", "--keys", "2 ENTER", "--card", "1204"});
    server.Return();
    ASSERT_EQ(punch.status, 0) << punch.err;
    EXPECT_EQ(punch.json()["stored"], "queued");
    EXPECT_EQ(punch.json()["confirmation"].back(),
              "Recorded on this clock. It will be sent when the server is back.");
    EXPECT_EQ(Run({"queue", "--config", Config().string()}).json()["waiting"].size(), 1u);
}

}  // namespace
