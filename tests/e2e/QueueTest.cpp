// timeclock queue: the punches a clock kept while its server was away, shown and sent.
#include "host/database/ClockDatabase.h"
#include "host/database/PunchQueue.h"
#include "tests/e2e/Timeclock.h"

namespace {

// The clock's database is a scratch database on the tests' PostgreSQL cluster, named in its
// configuration.
class QueueTest : public TimeclockTest {
  protected:
    void SetUp() override {
        TimeclockTest::SetUp();
        if (!m_clock_server.available())
            GTEST_SKIP() << "no PostgreSQL cluster for the tests (STAMPKIND_TEST_POSTGRES)";
        std::ofstream(Config()) << nlohmann::json{{"database", m_clock_server.uri()}}.dump();
    }
    // Keeps an IN punch in the clock's queue as if the server had been away.
    void Keep(const std::string& identity, int32_t card, double day, double time) const {
        auto record = std::make_shared<orvane::PunchRecord>("");
        record->Item("Punch Type")->SetValue(platform::Variant("I"));
        record->Item("Date In")->SetValue(platform::Variant(platform::Date{day}));
        record->Item("Time In")->SetValue(platform::Variant(platform::Date{time}));
        orvane::PunchQueue(orvane::PunchQueue::BesideConfiguration(Config()))
            .Add(identity, {card, record, {}, std::nullopt});
    }
    // `timeclock queue` with the options given.
    Result Queue(std::vector<std::string> options = {}) const {
        options.insert(options.begin(), {"queue", "--config", Config().string()});
        return Run(options);
    }

    ScratchPostgres m_clock_server;
};

TEST_F(QueueTest, ShowsWhatWaitsAndSendsItOnce) {
    Keep("punch-1", 1204, 46360, 0.25);
    const auto shown = Queue();
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(
        shown.json()["waiting"],
        nlohmann::json::parse(R"([{"identity": "punch-1", "card": 1204, "punch_type": "I"}])"));

    for (int sending = 0; sending < 2; ++sending) {
        const auto sent = Queue({"--send"});
        ASSERT_EQ(sent.status, 0) << sent.err;
        EXPECT_EQ(sent.json()["sent"], sending == 0 ? 1 : 0);
        EXPECT_EQ(sent.json()["waiting"], 0);
    }
    EXPECT_EQ(orvane::ClockDatabase(m_clock_server.uri()).Rows(1204).size(), 1u);
    EXPECT_EQ(Queue().json()["waiting"].size(), 0u);

    // A punch the server cannot take is kept, and says so.
    m_clock_server.Refuse();
    const auto punch =
        Run({"punch", "--db", m_clock_server.uri(), "--config", Config().string(), "--now",
             "2026-12-04 12:00:00", "--no-pause", "--keys", "2 ENTER", "--card", "1204"});
    m_clock_server.Return();
    ASSERT_EQ(punch.status, 0) << punch.err;
    EXPECT_EQ(punch.json()["stored"], "queued");
    EXPECT_EQ(punch.json()["confirmation"].back(),
              "Recorded on this clock. It will be sent when the server is back.");
    EXPECT_EQ(Queue().json()["waiting"].size(), 1u);
}

// A kept punch whose week was approved meanwhile is kept aside with the server's reason; the
// punches behind it are sent. Once the week is reopened, sending again stores it.
TEST_F(QueueTest, RefusedPunchIsKeptAsideAndTheOthersAreSent) {
    const std::vector<std::string> week{
        "--db",   m_clock_server.uri(), "--config", Config().string(),
        "--week", "2026-12-04",         "--card",   "1204"};
    const auto approve = [&](const std::string& command) {
        auto arguments = week;
        arguments.insert(arguments.begin(), command);
        ASSERT_EQ(Run(arguments).status, 0) << command;
    };
    approve("approve");
    Keep("approved-week", 1204, 46360, 0.25);  // 2026-12-04 06:00
    Keep("other-card", 1205, 46360, 0.25);
    Keep("next-week", 1204, 46367, 0.25);

    const auto sent = Queue({"--send"});
    ASSERT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(sent.json()["sent"], 2);
    EXPECT_EQ(sent.json()["waiting"], 0);
    EXPECT_NE(sent.err.find("card 1204, I at 2026-12-04 06:00"), std::string::npos) << sent.err;
    const auto shown = Queue();
    ASSERT_EQ(shown.status, 0) << shown.err;
    const auto queue = shown.json();
    EXPECT_EQ(queue["waiting"], nlohmann::json::array());
    ASSERT_EQ(queue["set_aside"].size(), 1u) << shown.out;
    const auto& aside = queue["set_aside"][0];
    EXPECT_EQ(aside["identity"], "approved-week");
    EXPECT_NE(aside["refused"].get<std::string>().find("is approved for card 1204"),
              std::string::npos)
        << aside;
    orvane::ClockDatabase database(m_clock_server.uri());
    EXPECT_EQ(database.Rows(1204).size(), 1u);
    EXPECT_EQ(database.Rows(1205).size(), 1u);

    approve("reopen");
    const auto again = Queue({"--send"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.json()["sent"], 1);
    EXPECT_EQ(again.json()["set_aside"], nlohmann::json::array());
    EXPECT_EQ(database.Rows(1204).size(), 2u);
}

}  // namespace
