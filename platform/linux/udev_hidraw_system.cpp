#include "platform/linux/udev_hidraw_system.h"

#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

// Without a udev daemon its event group stays silent; the kernel's is not.
const char* MonitorSource()
{
    return ::access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel";
}

class UdevMonitor final : public IHidrawMonitor {
public:
    UdevMonitor(UdevPtr<udev> context, UdevPtr<udev_monitor> monitor)
        : m_Context(std::move(context)), m_Monitor(std::move(monitor))
    {
    }
    int Fd() const override { return udev_monitor_get_fd(m_Monitor.get()); }
    HidrawEvent Receive() override
    {
        UdevPtr<udev_device> device(udev_monitor_receive_device(m_Monitor.get()));
        if (!device)
            return HidrawEvent::None;
        const char* action = udev_device_get_action(device.get());
        if (action && std::strcmp(action, "add") == 0)
            return HidrawEvent::Added;
        if (action && std::strcmp(action, "remove") == 0)
            return HidrawEvent::Removed;
        return HidrawEvent::Other;
    }

private:
    UdevPtr<udev> m_Context;
    UdevPtr<udev_monitor> m_Monitor;
};

}  // namespace

bool UdevHidrawSystem::ListNodes(std::vector<HidrawNode>& nodes)
{
    nodes.clear();
    UdevPtr<udev> context(udev_new());
    if (!context)
        return false;
    UdevPtr<udev_enumerate> enumerate(udev_enumerate_new(context.get()));
    if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "hidraw") < 0 ||
        udev_enumerate_scan_devices(enumerate.get()) < 0)
        return false;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get()))
    {
        const char* syspath = udev_list_entry_get_name(entry);
        UdevPtr<udev_device> device(udev_device_new_from_syspath(context.get(), syspath));
        const char* devnode = device ? udev_device_get_devnode(device.get()) : nullptr;
        if (devnode)
            nodes.push_back({devnode, syspath});
    }
    return true;
}

int UdevHidrawSystem::OpenNode(const std::string& devnode, int flags)
{
    return ::open(devnode.c_str(), flags);
}

void UdevHidrawSystem::CloseNode(int fd) { ::close(fd); }

bool UdevHidrawSystem::RawInfo(int fd, std::uint16_t& vendorId, std::uint16_t& productId)
{
    hidraw_devinfo info{};
    if (::ioctl(fd, HIDIOCGRAWINFO, &info) < 0)
        return false;
    vendorId = static_cast<std::uint16_t>(info.vendor);
    productId = static_cast<std::uint16_t>(info.product);
    return true;
}

std::unique_ptr<IHidrawMonitor> UdevHidrawSystem::OpenMonitor()
{
    UdevPtr<udev> context(udev_new());
    if (!context)
        return nullptr;
    UdevPtr<udev_monitor> monitor(udev_monitor_new_from_netlink(context.get(), MonitorSource()));
    if (!monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor.get()) < 0)
        return nullptr;
    // Receive() must never block the monitor thread.
    const int fd = udev_monitor_get_fd(monitor.get());
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0)
        return nullptr;
    return std::make_unique<UdevMonitor>(std::move(context), std::move(monitor));
}
