#include "host/database/Checkpointer.h"

#include <sqlite3.h>

#include <string>

namespace orvane {

Checkpointer::Checkpointer(const std::filesystem::path& file, std::chrono::milliseconds interval,
                           Log log)
    : m_db(sqlite::Open(file, sqlite::OpenMode::Existing)),
      m_interval(interval),
      m_log(std::move(log)),
      m_thread(&Checkpointer::Run, this) {}

Checkpointer::~Checkpointer() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    Checkpoint();
}

void Checkpointer::Run() {
    std::unique_lock lock(m_mutex);
    while (!m_wake.wait_for(lock, m_interval, [this] { return m_stop; })) {
        lock.unlock();
        Checkpoint();
        lock.lock();
    }
}

void Checkpointer::Checkpoint() {
    const int rc =
        sqlite3_wal_checkpoint_v2(m_db.get(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    // A checkpoint that meets another is no fault: the next one copies what is left. A fault is
    // said once, and again only after a checkpoint went through.
    const bool failed = rc != SQLITE_OK && rc != SQLITE_BUSY && rc != SQLITE_LOCKED;
    if (failed && !m_failing && m_log)
        m_log(std::string("cannot checkpoint the clock database: ") + sqlite3_errmsg(m_db.get()));
    m_failing = failed;
}

}  // namespace orvane
