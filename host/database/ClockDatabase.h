#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/database/Sqlite.h"
#include "host/framework/PunchRecord.h"
#include "host/punches/Row.h"
#include "host/punches/Shift.h"
#include "platform/Date.h"

namespace orvane {

class ClockStore;

// One employee of the "Employees" table.
struct Employee {
    int32_t card = 0;
    std::string name;
    bool manager = false;
    friend bool operator==(const Employee&, const Employee&) = default;
};

// Who entered a record in manager mode, kept beside the record: the manager's card, the clock's
// own moment of the entry (not the moments the manager typed) and the clock that stored it.
struct ManagerEntry {
    int32_t manager_card = 0;
    platform::Date entered_at{};
    std::string clock_name;
    friend bool operator==(const ManagerEntry&, const ManagerEntry&) = default;
};

// The records one punch wrote: the punch's own record and each extra record, by name. A punch
// made in manager mode also says who entered it; every record it stores is marked so.
struct PunchWrite {
    int32_t card = 0;
    std::shared_ptr<PunchRecord> own;
    std::vector<std::shared_ptr<PunchRecord>> extras;
    std::optional<ManagerEntry> entered_by;
};

// What became of a punch handed to the clock database.
enum class StoreResult {
    // On record in the database.
    Stored,
    // The server could not be reached: the punch is kept on this clock and will be sent when
    // the server is back. The screen says "Recorded on this clock. It will be sent when the
    // server is back."
    Queued,
};

class PunchQueue;
class LocalCopy;

// The host's clock database: the "Clock Data Table" of punches, the "Employees" table and the
// "Manager Entries", made when missing. It lives in an SQLite file (WAL, synchronous=NORMAL, a
// busy timeout) or, when the connection text is a "postgresql://" URI, on a PostgreSQL server
// that many clocks share. It stores a punch whole or not at all, in one transaction. Errors are
// raised platform errors whose description names the file or the server (never a password) and
// the engine's message.
class PLATFORM_API ClockDatabase {
  public:
    // Opens (and creates when missing) the database file, or connects to the server the URI
    // names, and makes its tables and indexes when missing. A write that finds the file locked
    // by another clock waits up to `busy_wait` for it.
    explicit ClockDatabase(const std::filesystem::path& file,
                           std::chrono::milliseconds busy_wait = sqlite::kDefaultBusyWait);
    ~ClockDatabase();
    ClockDatabase(const ClockDatabase&) = delete;
    ClockDatabase& operator=(const ClockDatabase&) = delete;

    const std::filesystem::path& file() const { return m_file; }

    // Called once each time a statement finds the database held by another clock, before it
    // waits, so that a front end can say that the clock waits.
    void SetWhileBusy(std::function<void()> waiting);

    // Writes of this database (punches, employees, PINs) wait for `turn` and hold it while they
    // write. Clocks of one process on one file share a turn: they wait on one another in order
    // and wake the moment the file is free, instead of meeting the file locked and pausing in
    // the engine's busy handler. Another process on the file is still met that way.
    void TakeWritesInTurn(std::shared_ptr<std::mutex> turn);

    // How long a record may stay open (the configuration's "max_shift_hours"): an out, a return
    // or a switch closes only a record opened within it; an older open record is a missing out
    // and the punch is stored on its own, as a missing in. 16 hours unless told.
    void SetShiftRules(const punches::ShiftRules& rules);

    // How long a punch, and each read of a card's employee and rows, may wait for the server
    // (the configuration's "database_deadline_seconds"): past it the punch is kept on the clock
    // (with a queue) and the read answers from the clock's copy. 3 seconds unless told.
    void SetDeadline(std::chrono::milliseconds deadline) { m_deadline = deadline; }
    static constexpr std::chrono::milliseconds kDefaultDeadline{3000};

    // On a file, leaves the copying of its write-ahead log into the file to a Checkpointer of
    // this process, so that no punch waits for it; this clock copies only when the log has
    // grown far beyond what the Checkpointer lets it reach. On a server, does nothing.
    void LeaveCheckpointsToOthers();

    // Stores what the step wrote into the punch's records, in one transaction. How an out punch
    // pairs with the employee's open record is described in docs/clock-database.md. A punch that
    // cannot be stored raises, saying that the punch was not stored, and leaves the file as it
    // was. With a queue (KeepLostPunchesIn), a punch that cannot reach the server is kept on the
    // clock instead, and so is every punch after it while earlier ones still wait.
    StoreResult StorePunch(const PunchWrite& punch);

    // Keeps punches that cannot reach the server in a queue file of this clock (an SQLite file
    // beside its configuration), and there too a copy of what the clock reads of the server (the
    // employees with their managers' PIN hashes, each card's recent rows), which answers while
    // the server is away. A database in a file needs neither and ignores it.
    void KeepLostPunchesIn(const std::filesystem::path& queue_file);
    // Reads every employee (and each manager's PIN hash) from the server into the clock's copy,
    // so that a card never read on this clock can punch while the server is away. False, and
    // nothing changes, when the server cannot be reached; true without a copy.
    bool RefreshLocalCopy();
    struct QueueReport {
        size_t sent = 0;
        size_t waiting = 0;
    };
    // Sends the waiting punches in the order they were kept, until the server cannot be reached.
    QueueReport SendQueued();
    // The punches waiting in the queue, oldest first: what the clock knows of its employees'
    // latest punches while the server is away.
    std::vector<PunchWrite> Queued() const;

    // Adds an employee; a manager may be given a PIN, stored with the employee in one
    // transaction. Raises "Invalid procedure call" (5) for a PIN that is not 4 to 12 digits or is
    // given to someone who is not a manager, and error 457 when the card is taken.
    void AddEmployee(const Employee& employee, std::optional<std::string_view> pin = std::nullopt);
    // Keeps a manager's PIN as a slow salted hash. Raises "Invalid procedure call" (5) when the
    // card is not a manager's or the PIN is not 4 to 12 digits.
    void SetManagerPin(int32_t card, std::string_view pin);
    bool HasManagerPin(int32_t card) const;
    // True when the card is a manager's with a PIN and the PIN matches it.
    bool VerifyManagerPin(int32_t card, std::string_view pin) const;
    static constexpr size_t kShortestPin = 4;
    static constexpr size_t kLongestPin = 12;
    // False when there was no such card.
    bool RemoveEmployee(int32_t card);
    std::vector<Employee> Employees() const;
    std::optional<Employee> FindEmployee(int32_t card) const;

    // One row of the "Clock Data Table", as stored.
    using Row = punches::Row;
    // The rows of one card (every card when nothing is given), oldest first.
    std::vector<Row> Rows(std::optional<int32_t> card = std::nullopt) const;
    // The rows of one card (every card, by card, when nothing is given) whose in-moment or
    // out-moment lies within [from, to], oldest first. It reads only those rows, through the
    // moment indexes, however long the history.
    std::vector<Row> RowsBetween(std::optional<int32_t> card, platform::Date from,
                                 platform::Date to) const;

    // A record entered in manager mode: the "ID" of its row and who entered it. A row that a
    // manager entry closed (an out that paired with an open in) has an entry of its own.
    struct EnteredRecord {
        int64_t record_id = 0;
        ManagerEntry entry;
    };
    // The manager entries made in [from, to) by the clock's moment of entry, oldest first;
    // either bound may be left open.
    std::vector<EnteredRecord> ManagerEntries(
        std::optional<platform::Date> from = std::nullopt,
        std::optional<platform::Date> to = std::nullopt) const;

    // The row of one "ID", as stored; none when no row has it.
    std::optional<Row> RowWithId(int64_t id) const;

    // True when the database is a file on this clock, false when it is a server.
    bool IsFile() const;
    // Tells `observer` the text of each statement the database runs from now on, as the engine
    // runs it (for tests and diagnostics); none stops.
    void ObserveStatements(std::function<void(const std::string&)> observer);

    // True when the last read could not reach the server. With a queue, a clock whose server is
    // away answers an employee's card and a manager's PIN from its copy of the employees, and
    // rows and rows in a window from what it last read of that card and from its own punches
    // not yet read back (as records not yet paired): figures that may be incomplete.
    bool Away() const { return m_away; }

  private:
    // Holds the write turn when there is one; holds nothing otherwise.
    std::unique_lock<std::mutex> WriteTurn() const;
    // Runs a read of the server within the deadline; a connection the server dropped is made
    // anew and the read tried once more. False, and the clock is away, when a clock with a queue
    // cannot reach it. Every other failure raises.
    template <class Read>
    bool Reached(Read&& read) const;
    // The manager's PIN hash from the server, or from the copy while the server is away.
    std::string PinHashOf(int32_t card) const;
    // Brings the copy up to date after the server answered; the copy serves only while the
    // server is away, so a copy that cannot be written never fails what the server did.
    template <class Update>
    void Remember(Update&& update) const;

    std::filesystem::path m_file;
    std::unique_ptr<ClockStore> m_store;
    std::unique_ptr<PunchQueue> m_queue;
    std::unique_ptr<LocalCopy> m_copy;
    std::shared_ptr<std::mutex> m_write_turn;
    mutable bool m_away = false;
    std::chrono::milliseconds m_deadline = kDefaultDeadline;
};

}  // namespace orvane
