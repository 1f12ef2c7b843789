#pragma once
// One request to stop, seen by every wait of a session. Built on a mutex and
// a condition variable because std::stop_token is not on every toolchain we
// ship (the web build's libc++ has none).
//
// Threads: every method may be called from any thread. A request cannot be
// taken back.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class StopSignal {
public:
    // Marks the stop and wakes every thread in SleepFor.
    void Request();
    bool Requested() const { return m_Requested.load(std::memory_order_acquire); }
    // Blocks for ms milliseconds of the steady clock, or until Request().
    // False when it ended on (or began after) a request.
    bool SleepFor(std::uint32_t ms) const;

private:
    std::atomic<bool> m_Requested{false};
    mutable std::mutex m_Mutex;
    mutable std::condition_variable m_Woken;
};
