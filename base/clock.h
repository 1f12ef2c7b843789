#pragma once
// Time source and sleeper. Production code never calls std::this_thread::sleep
// or reads a clock directly, so tests can run the protocol pauses instantly.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include "base/stop_signal.h"

class IClock {
public:
    virtual ~IClock() = default;
    // Milliseconds on a monotonic scale. Any thread.
    virtual std::uint64_t NowMs() = 0;
    // Blocks the calling thread for ms milliseconds, or until stop is
    // requested (a fake clock just advances). False when it ended on a stop.
    // Any thread.
    virtual bool SleepMs(std::uint32_t ms, const StopSignal& stop) = 0;
    // Waits on cv (lock held) until notified or NowMs() reaches deadlineMs.
    // May return early; callers re-check their condition and the deadline.
    virtual void WaitUntil(std::unique_lock<std::mutex>& lock,
                           std::condition_variable& cv,
                           std::uint64_t deadlineMs) = 0;
};

class SystemClock final : public IClock {
public:
    std::uint64_t NowMs() override;
    bool SleepMs(std::uint32_t ms, const StopSignal& stop) override;
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                   std::uint64_t deadlineMs) override;
    // The process-wide real clock.
    static SystemClock& Instance();
};
