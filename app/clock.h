#pragma once
// Time source and sleeper. Production code never calls std::this_thread::sleep
// or reads a clock directly, so tests can run the protocol pauses instantly.
#include <condition_variable>
#include <cstdint>
#include <mutex>

class IClock {
public:
    virtual ~IClock() = default;
    // Milliseconds on a monotonic scale. Any thread.
    virtual std::uint64_t NowMs() = 0;
    // Blocks the calling thread for ms milliseconds (a fake clock just
    // advances). Any thread.
    virtual void SleepMs(std::uint32_t ms) = 0;
    // Waits on cv (lock held) until notified or NowMs() reaches deadlineMs.
    // May return early; callers re-check their condition and the deadline.
    virtual void WaitUntil(std::unique_lock<std::mutex>& lock,
                           std::condition_variable& cv,
                           std::uint64_t deadlineMs) = 0;
};

class SystemClock final : public IClock {
public:
    std::uint64_t NowMs() override;
    void SleepMs(std::uint32_t ms) override;
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                   std::uint64_t deadlineMs) override;
    // The process-wide real clock.
    static SystemClock& Instance();
};
