#pragma once
// Device-change events posted to a view without a message loop of its own
// (the console and the headless view): queued by any thread, delivered on
// the UI thread while it pumps.
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

class PostedDeviceChanges {
public:
    // Where Deliver hands the events; empty drops them.
    void SetTarget(std::function<void(std::uint32_t)> target)
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_Target = std::move(target);
    }
    void Post(std::uint32_t event)
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_Events.push_back(event);
    }
    // UI thread: hands every queued event to the target, in order.
    void Deliver()
    {
        for (;;) {
            std::uint32_t event = 0;
            std::function<void(std::uint32_t)> target;
            {
                std::lock_guard<std::mutex> guard(m_Mutex);
                if (m_Events.empty())
                    return;
                event = m_Events.front();
                m_Events.pop_front();
                target = m_Target;
            }
            if (target)
                target(event);
        }
    }

private:
    std::mutex m_Mutex;
    std::deque<std::uint32_t> m_Events;
    std::function<void(std::uint32_t)> m_Target;
};
