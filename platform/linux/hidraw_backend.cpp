#include "platform/linux/hidraw_backend.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "text/wformat.h"
#include "platform/linux/hidraw_io.h"
#include "platform/linux/hidraw_monitor_thread.h"

namespace {

thread_local std::uint32_t t_LastError = 0;

void Fail(int error) { t_LastError = static_cast<std::uint32_t>(error); }

int OpenFlags(HidOpenMode mode)
{
    switch (mode) {
    case HidOpenMode::ReadWriteOverlapped:
        return O_RDWR | O_NONBLOCK | O_CLOEXEC;
    case HidOpenMode::WriteOverlapped:
        return O_WRONLY | O_NONBLOCK | O_CLOEXEC;
    case HidOpenMode::ReadOverlapped:
        return O_RDONLY | O_NONBLOCK | O_CLOEXEC;
    }
    return O_RDONLY | O_CLOEXEC;
}

// The N of "/dev/hidrawN"; nodes without one sort last.
unsigned long NodeNumber(const std::string& devnode)
{
    std::size_t digits = devnode.size();
    while (digits > 0 && devnode[digits - 1] >= '0' && devnode[digits - 1] <= '9')
        --digits;
    if (digits == devnode.size())
        return static_cast<unsigned long>(-1);
    return std::strtoul(devnode.c_str() + digits, nullptr, 10);
}

}  // namespace

bool HidrawNodeBefore(const HidrawNode& a, const HidrawNode& b)
{
    const unsigned long na = NodeNumber(a.devnode);
    const unsigned long nb = NodeNumber(b.devnode);
    return na != nb ? na < nb : a.devnode < b.devnode;
}

// A descriptor with the eventfd that cuts its waits short. Shared by the
// handle table and any read or write in progress, so Close on another
// thread never pulls the descriptor from under a poll().
struct HidrawBackend::OpenDevice {
    OpenDevice(IHidrawSystem& system, int fd, int cancelFd)
        : system(system), fd(fd), cancelFd(cancelFd)
    {
    }
    ~OpenDevice()
    {
        system.CloseNode(fd);
        ::close(cancelFd);
    }
    void Cancel() const
    {
        const std::uint64_t one = 1;
        while (::write(cancelFd, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
    IHidrawSystem& system;
    const int fd;
    const int cancelFd;
};

HidrawBackend::HidrawBackend(IHidrawSystem& system, IClock& clock)
    : m_System(system), m_Clock(clock)
{
}

HidrawBackend::~HidrawBackend()
{
    std::map<NotifyHandle, std::unique_ptr<HidrawMonitorThread>> monitors;
    std::map<HidHandle, std::shared_ptr<OpenDevice>> handles;
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        monitors.swap(m_Monitors);
        handles.swap(m_Handles);
    }
    monitors.clear();  // joins: their callbacks take m_Mutex
    for (auto& [id, device] : handles)
        device->Cancel();
}

void HidrawBackend::SetNotifier(Notifier notifier)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Notifier = std::move(notifier);
}

HidInterfaceList HidrawBackend::OpenInterfaceList()
{
    std::vector<HidrawNode> nodes;
    if (!m_System.ListNodes(nodes)) {
        Fail(errno);
        return kInvalidInterfaceList;
    }
    std::sort(nodes.begin(), nodes.end(), HidrawNodeBefore);
    std::lock_guard<std::mutex> guard(m_Mutex);
    const HidInterfaceList list = m_NextId++;
    m_Lists.emplace(list, std::move(nodes));
    return list;
}

bool HidrawBackend::NodePath(HidInterfaceList list, std::uint32_t index, std::u16string& path)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    auto it = m_Lists.find(list);
    if (it == m_Lists.end() || index >= it->second.size())
        return false;
    path = Utf8ToUtf16(it->second[index].devnode);
    return true;
}

bool HidrawBackend::HasInterface(HidInterfaceList list, std::uint32_t index)
{
    std::u16string path;
    return NodePath(list, index, path);
}

std::size_t HidrawBackend::InterfacePathSize(HidInterfaceList list, std::uint32_t index)
{
    std::u16string path;
    return NodePath(list, index, path) ? path.size() + 1 : 0;
}

bool HidrawBackend::InterfacePath(HidInterfaceList list, std::uint32_t index,
                                  std::size_t bufferChars, std::u16string& path)
{
    std::u16string found;
    if (!NodePath(list, index, found))
        return false;
    if (bufferChars < found.size() + 1) {
        Fail(ENOBUFS);
        return false;
    }
    path = std::move(found);
    return true;
}

void HidrawBackend::CloseInterfaceList(HidInterfaceList list)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Lists.erase(list);
}

HidHandle HidrawBackend::Open(const std::u16string& path, HidOpenMode mode)
{
    const int fd = m_System.OpenNode(Utf16ToUtf8(path), OpenFlags(mode));
    if (fd < 0) {
        Fail(errno);
        return kInvalidHidHandle;
    }
    const int cancelFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (cancelFd < 0) {
        Fail(errno);
        m_System.CloseNode(fd);
        return kInvalidHidHandle;
    }
    auto device = std::make_shared<OpenDevice>(m_System, fd, cancelFd);
    std::lock_guard<std::mutex> guard(m_Mutex);
    const HidHandle handle = m_NextId++;
    m_Handles.emplace(handle, std::move(device));
    return handle;
}

std::shared_ptr<HidrawBackend::OpenDevice> HidrawBackend::FindHandle(HidHandle handle)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    auto it = m_Handles.find(handle);
    return it == m_Handles.end() ? nullptr : it->second;
}

bool HidrawBackend::GetAttributes(HidHandle handle, HidAttributes& attributes)
{
    auto device = FindHandle(handle);
    if (!device) {
        Fail(EBADF);
        return false;
    }
    HidAttributes read;
    if (!m_System.RawInfo(device->fd, read.vendorId, read.productId)) {
        Fail(errno);
        return false;
    }
    attributes = read;
    return true;
}

bool HidrawBackend::Write(HidHandle handle, const std::uint8_t* report)
{
    auto device = FindHandle(handle);
    int error = EBADF;
    if (device &&
        WriteHidrawReport(device->fd, device->cancelFd, report, kHidWriteTimeoutMs, m_Clock, error))
        return true;
    Fail(error);
    return false;
}

HidReadStatus HidrawBackend::Read(HidHandle handle, std::uint8_t* report, std::uint32_t timeoutMs)
{
    auto device = FindHandle(handle);
    if (!device) {
        Fail(EBADF);
        return HidReadStatus::Error;
    }
    int error = 0;
    const HidReadStatus status =
        ReadHidrawReport(device->fd, device->cancelFd, report, timeoutMs, m_Clock, error);
    if (error != 0)
        Fail(error);
    return status;
}

void HidrawBackend::Close(HidHandle handle)
{
    std::shared_ptr<OpenDevice> device;
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        auto it = m_Handles.find(handle);
        if (it == m_Handles.end())
            return;
        device = std::move(it->second);
        m_Handles.erase(it);
    }
    device->Cancel();
}

std::uint32_t HidrawBackend::LastErrorCode() { return t_LastError; }

void HidrawBackend::Deliver(NotifyWindow window, std::uint32_t event)
{
    Notifier notifier;
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        notifier = m_Notifier;
    }
    if (notifier)
        notifier(window, event);
}

NotifyHandle HidrawBackend::RegisterNotification(NotifyWindow window)
{
    std::unique_ptr<IHidrawMonitor> monitor = m_System.OpenMonitor();
    if (!monitor) {
        Fail(errno);
        return kNoNotifyHandle;
    }
    auto thread = HidrawMonitorThread::Start(
        std::move(monitor), [this, window](std::uint32_t event) { Deliver(window, event); });
    if (!thread) {
        Fail(errno);
        return kNoNotifyHandle;
    }
    std::lock_guard<std::mutex> guard(m_Mutex);
    const NotifyHandle handle = m_NextId++;
    m_Monitors.emplace(handle, std::move(thread));
    return handle;
}

void HidrawBackend::UnregisterNotification(NotifyHandle handle)
{
    std::unique_ptr<HidrawMonitorThread> thread;
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        auto it = m_Monitors.find(handle);
        if (it == m_Monitors.end())
            return;
        thread = std::move(it->second);
        m_Monitors.erase(it);
    }
    thread.reset();  // joins outside the lock: the thread's callback takes it
}
