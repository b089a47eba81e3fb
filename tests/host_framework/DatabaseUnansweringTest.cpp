// A PostgreSQL server that stops answering, reached through the tests' TCP relay (a black hole,
// or a server that restarted). Needs the tests' cluster; skips without it.
#include <chrono>
#include <iostream>

#include <gtest/gtest.h>

#include "host/database/ClockDatabase.h"
#include "host/database/DatabaseError.h"
#include "host/database/EngineDatabase.h"
#include "host/database/Postgres.h"
#include "tests/support/Postgres.h"
#include "tests/support/PostgresRelay.h"
#include "tests/support/Raised.h"
#include "tests/support/StoredRows.h"
#include "tests/support/TempFolder.h"

namespace {

class UnansweringServer : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!m_server.available())
            GTEST_SKIP() << "no PostgreSQL cluster for the tests (STAMPKIND_TEST_POSTGRES)";
        m_relay = std::make_unique<PostgresRelay>(m_server.uri());
        m_relayed = m_relay->uri();
        m_clock = OpenClock();
        m_clock->AddEmployee({1204, "Avery Stone", false});
        ASSERT_TRUE(m_clock->RefreshLocalCopy());
        ASSERT_EQ(Punch(*m_clock, "I", true, 8.0 / 24), orvane::StoreResult::Stored);
    }

    std::unique_ptr<orvane::ClockDatabase> OpenClock() const {
        auto clock = std::make_unique<orvane::ClockDatabase>(m_relayed);
        clock->KeepLostPunchesIn(m_folder / "punch-queue.db");
        return clock;
    }

    static orvane::StoreResult Punch(orvane::ClockDatabase& clock, const char* type, bool in,
                                     double time) {
        return clock.StorePunch(OnePunch(1204, type, in, 46360, time));
    }

    ScratchPostgres m_server;
    TempFolder m_folder;
    std::unique_ptr<PostgresRelay> m_relay;
    std::string m_relayed;
    std::unique_ptr<orvane::ClockDatabase> m_clock;
};

// A card read and a punch as a kiosk makes them, on a live connection whose server went silent
// and on a clock that connects anew to a server that accepts and never answers: the card is
// answered from the clock's copy and the punch is kept within the deadline, and once the server
// answers again every kept punch is stored exactly once.
TEST_F(UnansweringServer, PunchesAreKeptWithinTheDeadlineAndStoredOnceWhenItAnswers) {
    for (const bool live_connection : {true, false}) {
        SCOPED_TRACE(live_connection ? "silent live connection" : "new connection, no answer");
        m_relay->Set(PostgresRelay::Mode::BlackHole);
        const auto start = std::chrono::steady_clock::now();
        if (!live_connection)
            m_clock = OpenClock();
        EXPECT_EQ(m_clock->FindEmployee(1204), (orvane::Employee{1204, "Avery Stone", false}));
        EXPECT_TRUE(m_clock->Away());
        m_clock->RowsBetween(1204, platform::Date{46359}, platform::Date{46361});
        const double time = live_connection ? 12.0 / 24 : 13.0 / 24;
        EXPECT_EQ(Punch(*m_clock, live_connection ? "O" : "I", !live_connection, time),
                  orvane::StoreResult::Queued);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::cout << "clock start, card read and punch with an unanswering server: " << took.count()
                  << " s\n";

        m_relay->Set(PostgresRelay::Mode::Forward);
        // The clock as it starts again (or the queue command) sends what was kept.
        m_clock = OpenClock();
        EXPECT_EQ(m_clock->SendQueued().sent, 1u);
        EXPECT_TRUE(m_clock->Queued().empty());
    }
    EXPECT_EQ(StoredRows(*m_clock, 1204), (std::vector<std::string>{"O 08:00 12:00", "I 13:00 -"}));
}

// The automatic punch's lookup on a live connection whose server went silent gives up at its
// deadline and is answered from the clock's copy.
TEST_F(UnansweringServer, LookupGivesUpAtItsDeadlineForTheCopy) {
    orvane::EngineDatabase lookup;
    lookup.AnswerWhileAwayFrom(m_folder / "punch-queue.db");
    lookup.SetDeadline(std::chrono::seconds(1));
    lookup.Open(m_relayed);
    const auto last_punch = [&] {
        const auto rows =
            lookup.Execute("SELECT [Punch Type] FROM [Clock Data Table] WHERE [Card ID]=1204");
        return rows->Fields("Punch Type")->Value().to_text();
    };
    ASSERT_EQ(last_punch(), "I");
    // Bounded, so that a lookup that waits for the server fails late instead of hanging.
    m_relay->BlackHoleFor(std::chrono::seconds(10));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(last_punch(), "I");
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::cout << "lookup with a silent server: " << took.count() << " s\n";
    EXPECT_EQ(lookup.answers_while_away(), 1u);
    EXPECT_LT(took.count(), 2.5) << "a lookup with a 1 s deadline";
}

// A connection to a silent server gives up at its deadline, whatever it was doing, and says the
// connection failed; it is not left half-open for the next statement.
TEST_F(UnansweringServer, ConnectionGivesUpAtItsDeadline) {
    orvane::pg::Connection connection(m_relayed);
    m_relay->Set(PostgresRelay::Mode::BlackHole);
    connection.SetDeadline(std::chrono::steady_clock::now());
    EXPECT_EQ(ErrorNumberOf([&] { connection.Run("SELECT 1", {}, "test"); }),
              orvane::dberr::kConnectionFailed);
    EXPECT_TRUE(connection.TimedOut());
    EXPECT_TRUE(connection.Lost());
    EXPECT_FALSE(connection.TryExec("ROLLBACK"));
    EXPECT_EQ(
        ErrorNumberOf([&] { orvane::pg::Connection(m_relayed, std::chrono::steady_clock::now()); }),
        orvane::dberr::kConnectionFailed);
}

// A server that restarted closed the clock's connection: the next read makes a new one at once
// instead of answering from the copy or refusing the card.
TEST_F(UnansweringServer, FirstReadAfterADroppedConnectionReconnects) {
    m_relay->Drop();
    EXPECT_EQ(m_clock->FindEmployee(1204), (orvane::Employee{1204, "Avery Stone", false}));
    EXPECT_FALSE(m_clock->Away());
    m_relay->Drop();
    EXPECT_EQ(m_clock->Rows(1204).size(), 1u);
    EXPECT_FALSE(m_clock->Away());
}

}  // namespace
