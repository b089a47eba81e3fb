#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>

#include "host/database/Sqlite.h"
#include "platform/Api.h"

namespace orvane {

// Copies the clock file's write-ahead log into the file from a thread and a connection of its
// own, every `interval`, without waiting for any reader or writer. The clocks of a server leave
// their checkpoints to it (ClockDatabase::LeaveCheckpointsToOthers), so that a punch never
// waits for the copy and its flush to the disk. Raises what opening the file raises.
class PLATFORM_API Checkpointer {
  public:
    using Log = std::function<void(std::string_view)>;
    Checkpointer(const std::filesystem::path& file, std::chrono::milliseconds interval, Log log);
    // Makes a last checkpoint and ends the thread.
    ~Checkpointer();
    Checkpointer(const Checkpointer&) = delete;
    Checkpointer& operator=(const Checkpointer&) = delete;

  private:
    void Run();
    void Checkpoint();

    sqlite::ConnectionPtr m_db;
    std::chrono::milliseconds m_interval;
    Log m_log;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    bool m_failing = false;
    std::thread m_thread;
};

}  // namespace orvane
