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

// One employee of the "Employees" table. An employee removed stays on file, inactive: they can
// no longer punch, and their name stays in every report of their records.
struct Employee {
    int32_t card = 0;
    std::string name;
    bool manager = false;
    bool active = true;
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

// A change made to an employee, kept for review: the card it was made to (the card before, for
// a new card), when, by whom, which ("name", "card" or "active") and the value before and after.
struct EmployeeChange {
    int32_t card = 0;
    platform::Date changed_at{};
    std::string changed_by;
    std::string what;
    std::string before;
    std::string after;
    friend bool operator==(const EmployeeChange&, const EmployeeChange&) = default;
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

// Who corrects the "Clock Data Table", and why: an administrator or the OS user of a command,
// the moment of the correction by the clock's own clock, the clock it was made on, the reason.
struct Corrector {
    std::string who;
    platform::Date at{};
    std::string clock_name;
    std::string reason;
};

// One correction of a record: a punch added, a record's moments or type edited, or a record
// voided. The record keeps its current values in the "Clock Data Table"; the correction keeps
// the record as it was before and as it became after (none before an added punch, none after a
// void). A voided record counts nowhere, but stays in the table and in its corrections.
struct Correction {
    int64_t id = 0;
    int64_t record_id = 0;
    int32_t card = 0;
    std::string action;  // "add", "edit" or "void"
    Corrector by;
    std::optional<punches::Row> before, after;
};

// Leave over several days for one card: the punch code of an hours entry ("V", "S", "H", "P",
// "FL", "JD", "B"), the hours of each day, the first and last day (whole days) and whether only
// Monday to Friday are booked.
struct LeaveBooking {
    int32_t card = 0;
    std::string code;
    double hours = 0;
    platform::Date first{}, last{};
    bool weekdays_only = false;
};

// An approval or a reopening of a week, for everyone or for one card. While a week is
// approved, no punch, manager entry or correction with a moment inside it is stored.
struct WeekApproval {
    int64_t id = 0;
    std::string action;  // "approve" or "reopen"
    platform::Date week_start{};
    std::optional<int32_t> card;
    std::string who;
    platform::Date at{};
};

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
        // What was said of each punch the server refused and the queue now keeps aside.
        std::vector<std::string> set_aside;
    };
    // Sends the waiting punches in the order they were kept, until the server cannot be reached.
    // A punch the server refuses for good (its week approved, its employee inactive) is kept
    // aside with the reason, and the punches behind it are sent. `again` first puts the punches
    // kept aside back in line (an administrator has reopened the week).
    QueueReport SendQueued(bool again = false);
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
    // Makes the employee inactive: their rows and name stay. False when there was no such card.
    // Like every change to an employee, it is kept with its moment and `by` (who made it).
    bool RemoveEmployee(int32_t card, std::string_view by = {});
    // False when there is no such card.
    bool RenameEmployee(int32_t card, const std::string& name, std::string_view by = {});
    // Gives the employee a new card. Their rows move with them, so that their history reads
    // under the new card; the change keeps the old card. False when there is no such card;
    // error 457 when the new card is taken.
    bool ChangeCard(int32_t card, int32_t new_card, std::string_view by = {});
    // The changes made to employees (to one card, before or after a new card), oldest first.
    std::vector<EmployeeChange> EmployeeChanges(std::optional<int32_t> card = std::nullopt) const;
    // Every employee, active or not.
    std::vector<Employee> Employees() const;
    // The employee of the card, active or not.
    std::optional<Employee> FindEmployee(int32_t card) const;

    // The lockout of manager cards, shared by every clock of the database and kept across
    // restarts. Until when the card is locked at `now`; none when it is not.
    std::optional<platform::Date> PinLockedUntil(int32_t card, platform::Date now) const;
    // Counts a wrong PIN, in one transaction with the check of the count: the `tries`th wrong
    // PIN in a row locks the card for `lock_days` and answers the end of the lock.
    std::optional<platform::Date> CountWrongPin(int32_t card, platform::Date now, int tries,
                                                double lock_days);
    // A right PIN: the count starts again.
    void ClearWrongPins(int32_t card);

    // The wrong tries of a secret at a door of the clock server (the administrator's password, a
    // kiosk's key), by the door, the account behind it and the client's address: shared by every
    // server on the database and kept across restarts. An account's count from every address
    // is kept under an empty address.
    struct SecretTries {
        int64_t wrong = 0;
        // The moment of the last wrong try; day zero when there was none.
        platform::Date last{};
    };
    using AdmitTry =
        std::function<bool(const SecretTries& of_address, const SecretTries& of_account)>;
    // Reads the wrong tries of `address` at the account and those of the account from every
    // address, and counts one more for both at `now` when `admit` answers true, all in one
    // transaction: tries made at once, on threads or servers of their own, are decided one after
    // another. Answers what `admit` answered.
    bool CountSecretTry(const std::string& door, const std::string& account,
                        const std::string& address, platform::Date now, const AdmitTry& admit);
    // A right secret: the counts of the address and of the account start again.
    void ClearSecretTries(const std::string& door, const std::string& account,
                          const std::string& address);
    // Forgets the counts whose last wrong try came before `before`.
    void ForgetSecretTries(platform::Date before);

    // The name of the clock (its "clock_name", or the browser kiosk's name) kept beside each
    // record that its punches store from now on; none is kept while it is empty.
    void SetClockName(const std::string& name);
    // The clock that stored each of the rows given, by "ID"; rows stored before clocks were
    // kept are missing.
    std::map<int64_t, std::string> ClocksOf(const std::vector<int64_t>& record_ids) const;

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

    // Corrections of punches. Each is stored with its history in one transaction and raises
    // "Invalid procedure call" (5) for an empty reason or a type that is no time punch, error
    // 3265 for an id no record has (or a voided one), and error 3033 when a moment before or
    // after lies in an approved week.
    //
    // Adds a time punch ("I", "O", "LO", "LI", "BO", "BI") at a moment: a closing punch closes
    // the open record it belongs to, as at the clock, when that record began no longer than the
    // longest shift before it; an opening punch begins the record that holds only its out (a
    // missing in) when that out lies no longer than the longest shift after it; otherwise it
    // becomes a record of its own.
    Correction AddPunch(int32_t card, std::string_view type, platform::Date at,
                        double max_shift_hours, const Corrector& by);
    // Moves a record's in-moment (its out-moment when it has no in) and out-moment, and changes
    // its "Punch Type"; what is not given stays.
    Correction EditPunch(int64_t id, std::optional<platform::Date> at,
                         std::optional<platform::Date> out_at, std::optional<std::string> type,
                         const Corrector& by);
    Correction VoidPunch(int64_t id, const Corrector& by);
    // Books leave over several days, as a manager books one day at the clock: one entry of the
    // leave kind per day (per weekday with `weekdays_only`), at the day's start, holding `hours`,
    // each kept as an added punch. All days are stored in one transaction or none: a day in an
    // approved week refuses them all (error 3033). Raises "Invalid procedure call" (5) for an
    // empty reason, a code that books no hours, hours that are not above 0 and below 24 (the
    // bound of the clock's Hours keypad), a last day before the first, more than kLongestLeave
    // days, or a range with no day to book.
    std::vector<Correction> AddLeave(const LeaveBooking& leave, const Corrector& by);
    static constexpr int kLongestLeave = 366;
    // The corrections of one card (every card when none), oldest first.
    std::vector<Correction> Corrections(std::optional<int32_t> card = std::nullopt) const;

    // Approves the week that begins on `week_start` for everyone or for one card; reopening
    // ends that approval. Both are kept, with who and when; reopening a week that is not
    // approved for that scope raises "Invalid procedure call" (5).
    WeekApproval ApproveWeek(platform::Date week_start, std::optional<int32_t> card,
                             const std::string& who, platform::Date at);
    WeekApproval ReopenWeek(platform::Date week_start, std::optional<int32_t> card,
                            const std::string& who, platform::Date at);
    // Every approval and reopening, oldest first.
    std::vector<WeekApproval> WeekApprovals() const;

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
    EmployeeChange ChangeOf(int32_t card, std::string what, std::string before, std::string after,
                            std::string_view by) const;
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
