#include "base/clock.h"

#include <chrono>
#include <condition_variable>

namespace {

using Steady = std::chrono::steady_clock;

class SystemWait final : public IClockWait {
public:
    void Notify() override { m_Changed.notify_all(); }
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::uint64_t deadlineMs) override
    {
        m_Changed.wait_until(lock, Steady::time_point{std::chrono::milliseconds(deadlineMs)});
    }

private:
    std::condition_variable m_Changed;
};

}  // namespace

std::uint64_t SystemClock::NowMs()
{
    auto since = Steady::now().time_since_epoch();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

bool SystemClock::SleepMs(std::uint32_t ms, const StopSignal& stop) { return stop.SleepFor(ms); }

std::unique_ptr<IClockWait> SystemClock::MakeWait() { return std::make_unique<SystemWait>(); }

SystemClock& SystemClock::Instance()
{
    static SystemClock clock;
    return clock;
}
