#pragma once
// Time source and sleeper. Production code never calls std::this_thread::sleep
// or reads a clock directly, so tests can run the protocol pauses instantly.
#include <cstdint>
#include <memory>
#include <mutex>
#include "base/stop_signal.h"

// Something one thread waits on until another wakes it or a deadline of its
// clock passes. Each clock makes its own: a real one blocks the thread, a
// fake one advances time, a single-threaded host (the web page) suspends
// until the deadline, since nothing else could wake it meanwhile.
class IClockWait {
public:
    virtual ~IClockWait() = default;
    // Wakes every thread in WaitUntil. Call it after changing, under the
    // waiters' mutex, what they wait for. Any thread.
    virtual void Notify() = 0;
    // Releases lock until Notify() or the clock reaching deadlineMs, and
    // takes it again. May return early; callers re-check their condition
    // and the deadline. Any thread.
    virtual void WaitUntil(std::unique_lock<std::mutex>& lock, std::uint64_t deadlineMs) = 0;
};

class IClock {
public:
    virtual ~IClock() = default;
    // Milliseconds on a monotonic scale. Any thread.
    virtual std::uint64_t NowMs() = 0;
    // Blocks the calling thread for ms milliseconds, or until stop is
    // requested (a fake clock just advances). False when it ended on a stop.
    // Any thread.
    virtual bool SleepMs(std::uint32_t ms, const StopSignal& stop) = 0;
    // A new wait object on this clock. Any thread.
    virtual std::unique_ptr<IClockWait> MakeWait() = 0;
};

class SystemClock final : public IClock {
public:
    std::uint64_t NowMs() override;
    bool SleepMs(std::uint32_t ms, const StopSignal& stop) override;
    std::unique_ptr<IClockWait> MakeWait() override;
    // The process-wide real clock.
    static SystemClock& Instance();
};
