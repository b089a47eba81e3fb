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
// which the server stores with the punch, so that a punch sent twice is stored once.
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
    };

    // Keeps a punch under its identity; a second punch of the same identity is the same punch.
    void Add(const std::string& identity, const PunchWrite& punch);
    // The waiting punches in the order they were kept.
    std::vector<Entry> Waiting() const;
    void Remove(int64_t position);
    bool Empty() const;

    const std::filesystem::path& file() const { return m_file; }

  private:
    std::filesystem::path m_file;
    sqlite::ConnectionPtr m_db;
};

}  // namespace orvane
