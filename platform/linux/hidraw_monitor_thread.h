#pragma once
// A thread that waits on a hidraw monitor and reports each arrival as 0x8000
// and each removal as 0x8004. It sleeps in poll() on the monitor's descriptor
// and an eventfd that Stop() signals; it never wakes on a timer.
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "platform/linux/hidraw_system.h"

class HidrawMonitorThread {
public:
    // Runs on the monitor thread, once per event, in the order they came.
    using Callback = std::function<void(std::uint32_t event)>;

    // Null when the stop eventfd cannot be made (errno says why).
    static std::unique_ptr<HidrawMonitorThread> Start(std::unique_ptr<IHidrawMonitor> monitor,
                                                      Callback callback);
    ~HidrawMonitorThread();
    HidrawMonitorThread(const HidrawMonitorThread&) = delete;
    HidrawMonitorThread& operator=(const HidrawMonitorThread&) = delete;

    // Ends the thread and joins it; no callback runs after it returns. Not
    // from the callback itself. Any other thread; idempotent.
    void Stop();

private:
    HidrawMonitorThread(std::unique_ptr<IHidrawMonitor> monitor, Callback callback, int stopFd);
    void Run();
    void DeliverWaitingEvents();

    std::unique_ptr<IHidrawMonitor> m_Monitor;
    Callback m_Callback;
    int m_StopFd;
    std::thread m_Thread;
};
