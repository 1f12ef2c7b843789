#include "base/stop_signal.h"

#include <chrono>

void StopSignal::Request()
{
    {
        // Under the lock so a sleeper between its check and its wait still
        // sees the notification.
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_Requested.store(true, std::memory_order_release);
    }
    m_Woken.notify_all();
}

bool StopSignal::SleepFor(std::uint32_t ms) const
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    return !m_Woken.wait_until(lock, deadline, [this] { return Requested(); });
}
