#include "base/clock.h"

#include <chrono>

namespace {
using Steady = std::chrono::steady_clock;
}

std::uint64_t SystemClock::NowMs()
{
    auto since = Steady::now().time_since_epoch();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

bool SystemClock::SleepMs(std::uint32_t ms, const StopSignal& stop) { return stop.SleepFor(ms); }

void SystemClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                            std::uint64_t deadlineMs)
{
    Steady::time_point deadline{std::chrono::milliseconds(deadlineMs)};
    cv.wait_until(lock, deadline);
}

SystemClock& SystemClock::Instance()
{
    static SystemClock clock;
    return clock;
}
