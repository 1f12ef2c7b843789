#pragma once
// The hidraw nodes as libudev and the kernel present them.
#include "platform/linux/hidraw_system.h"

class UdevHidrawSystem final : public IHidrawSystem {
public:
    // Enumerates the "hidraw" subsystem in sysfs; nodes without a device
    // file are left out.
    bool ListNodes(std::vector<HidrawNode>& nodes) override;
    int OpenNode(const std::string& devnode, int flags) override;
    void CloseNode(int fd) override;
    // HIDIOCGRAWINFO: the identifiers the device reported when it enumerated.
    bool RawInfo(int fd, std::uint16_t& vendorId, std::uint16_t& productId) override;
    // Listens to udev's events once udev has made the node (and set its
    // permissions); where no udev daemon runs, to the kernel's own events.
    std::unique_ptr<IHidrawMonitor> OpenMonitor() override;
};
