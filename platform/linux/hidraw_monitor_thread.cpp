#include "platform/linux/hidraw_monitor_thread.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

#include "hid/hid_backend.h"

std::unique_ptr<HidrawMonitorThread> HidrawMonitorThread::Start(
    std::unique_ptr<IHidrawMonitor> monitor, Callback callback)
{
    const int stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd < 0)
        return nullptr;
    std::unique_ptr<HidrawMonitorThread> thread(
        new HidrawMonitorThread(std::move(monitor), std::move(callback), stopFd));
    thread->m_Thread = std::thread([raw = thread.get()] { raw->Run(); });
    return thread;
}

HidrawMonitorThread::HidrawMonitorThread(std::unique_ptr<IHidrawMonitor> monitor,
                                         Callback callback, int stopFd)
    : m_Monitor(std::move(monitor)), m_Callback(std::move(callback)), m_StopFd(stopFd)
{
}

HidrawMonitorThread::~HidrawMonitorThread()
{
    Stop();
    ::close(m_StopFd);
}

void HidrawMonitorThread::Stop()
{
    if (!m_Thread.joinable())
        return;
    const std::uint64_t one = 1;
    while (::write(m_StopFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
    m_Thread.join();
}

void HidrawMonitorThread::Run()
{
    for (;;) {
        pollfd fds[2] = {{m_Monitor->Fd(), POLLIN, 0}, {m_StopFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || fds[1].revents != 0)
            return;
        if (fds[0].revents & (POLLHUP | POLLNVAL))
            return;  // the monitor is gone: no event will come again
        // POLLERR (a netlink overrun) is cleared by the next receive.
        DeliverWaitingEvents();
    }
}

void HidrawMonitorThread::DeliverWaitingEvents()
{
    for (;;) {
        switch (m_Monitor->Receive()) {
        case HidrawEvent::None:
            return;
        case HidrawEvent::Added:
            m_Callback(kDbtDeviceArrival);
            break;
        case HidrawEvent::Removed:
            m_Callback(kDbtDeviceRemoveComplete);
            break;
        case HidrawEvent::Other:
            break;
        }
    }
}
