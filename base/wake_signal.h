#pragma once
// Lets one thread wait until a condition holds, re-checking it whenever
// another thread calls Wake(). For views without a message loop of their own.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

class WakeSignal {
public:
    void WaitUntil(const std::function<bool()>& done)
    {
        std::unique_lock<std::mutex> lock(m_Mutex);
        for (;;) {
            const std::uint64_t seen = m_Count;
            lock.unlock();
            if (done())
                return;
            lock.lock();
            m_Changed.wait(lock, [&] { return m_Count != seen; });
        }
    }
    void Wake()
    {
        {
            std::lock_guard<std::mutex> guard(m_Mutex);
            ++m_Count;
        }
        m_Changed.notify_all();
    }

private:
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    std::uint64_t m_Count = 0;
};
