#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/database/ClockDatabase.h"
#include "host/database/StoreEngine.h"

namespace orvane {

// An employee as the clock keeps it for the time its server is away: the manager's PIN only as
// the server's hash of it (empty when none).
struct KnownEmployee {
    Employee employee;
    std::string pin_hash;
    friend bool operator==(const KnownEmployee&, const KnownEmployee&) = default;
};

// What a clock whose database is a server knows of it, kept in the clock's own SQLite file
// beside its configuration so that it outlasts a restart: the employees with their managers'
// PIN hashes, and each card's recent rows of the "Clock Data Table" as last read, beside the
// rows of this clock's own punches not yet read back (waiting in the queue, or sent since).
// The rows sit in a "Clock Data Table" of the same columns as the server's, so that the
// automatic punch's query runs on the file unchanged while the server cannot be reached.
// It is no replacement for the server: it answers only while the server is away, and what it
// answers may be incomplete. Every failure is a raised platform error naming the file.
class PLATFORM_API LocalCopy {
  public:
    // Opens the file, made when missing, and its tables.
    explicit LocalCopy(const std::filesystem::path& file);
    ~LocalCopy();

    // How many days of a card's rows, back from its newest, the copy keeps: enough for the
    // guards, the week's figures and the automatic punch's span.
    static constexpr double kKeptDays = 35;

    // Replaces every employee by those the server listed, in one transaction; a list equal to
    // the one kept writes nothing.
    void KeepEmployees(const std::vector<KnownEmployee>& employees);
    // Keeps one employee as the server answered it; a PIN hash not given stays as it was.
    void KeepEmployee(const Employee& employee, std::optional<std::string> pin_hash = std::nullopt);
    void ForgetEmployee(int32_t card);
    std::vector<KnownEmployee> Employees() const;
    std::optional<Employee> FindEmployee(int32_t card) const;
    // The manager's PIN hash; empty when the card is unknown, no manager's or has no PIN.
    std::string PinHash(int32_t card) const;

    // Keeps the rows the server answered for a card, replacing those kept from an earlier read
    // (all of them, or those whose in- or out-moment lies in `window`). This clock's own punches
    // that were sent before the read are among them now and are dropped as rows of their own.
    struct Window {
        double from = 0, to = 0;
    };
    void KeepRows(int32_t card, const std::vector<ClockDatabase::Row>& rows,
                  std::optional<Window> window = std::nullopt);
    // Adds the records of one of this clock's punches under its identity: each record is a row
    // of its own (an out is not paired with the open record it will close on the server).
    void AddPunch(const std::string& identity, const PunchWrite& punch, bool sent);
    // The punch of this identity has reached the server.
    void MarkSent(const std::string& identity);
    // The identities of this clock's punches kept as rows and not yet sent.
    std::vector<std::string> Unsent() const;
    // A card's rows as kept, oldest first by their position in the copy.
    std::vector<ClockDatabase::Row> Rows(int32_t card) const;

    const std::filesystem::path& file() const { return m_file; }

  private:
    std::filesystem::path m_file;
    std::unique_ptr<StoreEngine> m_engine;
};

}  // namespace orvane
