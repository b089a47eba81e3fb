#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>

namespace timeclock::web {

// Lets a bounded number of slow secret checks run at once (each Argon2id check takes 64 MiB for
// a moment) and a bounded number wait for their turn; beyond that a caller is turned away at
// once. Closing it turns away every waiter, so that a stopping server waits for no queue.
class CheckGate {
  public:
    // Held while a check runs; its end lets the next waiter in.
    class Pass {
      public:
        explicit Pass(CheckGate& gate) : m_gate(&gate) {}
        Pass(Pass&& other) noexcept : m_gate(std::exchange(other.m_gate, nullptr)) {}
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;
        Pass& operator=(Pass&&) = delete;
        ~Pass() {
            if (m_gate)
                m_gate->Leave();
        }

      private:
        CheckGate* m_gate;
    };

    CheckGate(int running, int waiting) : m_running_limit(running), m_waiting_limit(waiting) {}

    // A pass once it is this caller's turn; none when the queue is full or the gate is closed.
    std::optional<Pass> Enter();
    void Close();
    // How many callers wait for their turn now.
    int Waiting();

  private:
    void Leave();

    const int m_running_limit;
    const int m_waiting_limit;
    std::mutex m_mutex;
    std::condition_variable m_turn;
    int m_running = 0;
    int m_waiting = 0;
    bool m_closed = false;
};

}  // namespace timeclock::web
