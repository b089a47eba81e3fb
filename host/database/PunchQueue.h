#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "host/database/ClockDatabase.h"
#include "host/database/Sqlite.h"

namespace orvane {

// The punches a clock kept while its server could not be reached, in an SQLite file of the
// clock's own (beside its configuration), oldest first. Each keeps the identity it was given,
// which the server stores with the punch, so that a punch sent twice is stored once. A punch the
// server refuses for good (its week approved meanwhile, its employee made inactive) is kept aside
// with the reason, for an administrator, so that the punches behind it are sent.
class PLATFORM_API PunchQueue {
  public:
    // The queue file of the clock whose configuration is `config_file`: beside it.
    static std::filesystem::path BesideConfiguration(const std::filesystem::path& config_file) {
        return config_file.parent_path() / "punch-queue.db";
    }

    // Opens the queue file, made when missing.
    explicit PunchQueue(const std::filesystem::path& file);

    struct Entry {
        int64_t position = 0;
        std::string identity;
        PunchWrite punch;
        // Why the server refused it; empty while it waits to be sent.
        std::string refused;
    };

    // Keeps a punch under its identity; a second punch of the same identity is the same punch.
    void Add(const std::string& identity, const PunchWrite& punch);
    // The waiting punches in the order they were kept.
    std::vector<Entry> Waiting() const;
    // The punches kept aside, in the order they were kept.
    std::vector<Entry> KeptAside() const;
    void Remove(int64_t position);
    // Keeps the punch aside with the server's reason for refusing it.
    void SetAside(int64_t position, const std::string& refused);
    // Puts every punch kept aside back in line, in its place, to be sent again.
    void Requeue();
    // Whether no punch waits (punches kept aside do not).
    bool Empty() const;

    const std::filesystem::path& file() const { return m_file; }

  private:
    std::vector<Entry> Entries(bool aside) const;
    void Run(const char* sql, int64_t position, const std::string& text, std::string_view doing);

    std::filesystem::path m_file;
    sqlite::ConnectionPtr m_db;
};

}  // namespace orvane
