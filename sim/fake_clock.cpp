#include "sim/fake_clock.h"

bool FakeClock::SleepMs(std::uint32_t ms, const StopSignal& stop)
{
    if (stop.Requested())
        return false;
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_Sleeps.push_back(ms);
    }
    m_Now += ms;
    return true;
}

namespace {

class FakeWait final : public IClockWait {
public:
    explicit FakeWait(FakeClock& clock) : m_Clock(clock) {}
    void Notify() override {}
    void WaitUntil(std::unique_lock<std::mutex>&, std::uint64_t deadlineMs) override
    {
        m_Clock.AdvanceTo(deadlineMs);
    }

private:
    FakeClock& m_Clock;
};

}  // namespace

void FakeClock::AdvanceTo(std::uint64_t ms)
{
    std::uint64_t now = m_Now.load();
    while (now < ms && !m_Now.compare_exchange_weak(now, ms)) {
    }
}

std::unique_ptr<IClockWait> FakeClock::MakeWait() { return std::make_unique<FakeWait>(*this); }

std::vector<std::uint32_t> FakeClock::Sleeps() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Sleeps;
}

void FakeClock::ClearSleeps()
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Sleeps.clear();
}
