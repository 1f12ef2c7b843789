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

void FakeClock::WaitUntil(std::unique_lock<std::mutex>&, std::condition_variable&,
                          std::uint64_t deadlineMs)
{
    std::uint64_t now = m_Now.load();
    while (now < deadlineMs && !m_Now.compare_exchange_weak(now, deadlineMs)) {
    }
}

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
