#pragma once
// What the hidraw backend needs of the system: the list of hidraw nodes, file
// descriptors on them, their USB identifiers and a device-event monitor. The
// real one is libudev and the kernel (udev_hidraw_system.h); tests stand in
// with socket pairs and a scripted list, since no virtual HID device can be
// created here.
//
// Every call reports failure by its result and leaves the reason in errno.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct HidrawNode {
    std::string devnode;  // "/dev/hidrawN"
    std::string syspath;  // the node's sysfs path, for diagnostics
};

enum class HidrawEvent { None, Added, Removed, Other };

// A source of hidraw add/remove events. Not thread-safe: one thread (the
// monitor thread) uses it after creation.
class IHidrawMonitor {
public:
    virtual ~IHidrawMonitor() = default;
    // A descriptor that polls readable while events wait.
    virtual int Fd() const = 0;
    // The next waiting event, or None at once when nothing waits.
    virtual HidrawEvent Receive() = 0;
};

class IHidrawSystem {
public:
    virtual ~IHidrawSystem() = default;
    // The present hidraw nodes, in no particular order. False when the
    // system cannot list them. Any thread.
    virtual bool ListNodes(std::vector<HidrawNode>& nodes) = 0;
    // open(2) on a node with these flags: a descriptor, or -1. Any thread.
    virtual int OpenNode(const std::string& devnode, int flags) = 0;
    // Releases a descriptor OpenNode gave. Any thread.
    virtual void CloseNode(int fd) = 0;
    // USB vendor and product of the device behind fd; false when unknown.
    virtual bool RawInfo(int fd, std::uint16_t& vendorId, std::uint16_t& productId) = 0;
    // A new monitor for hidraw events that arrive from now on; null when
    // none can be made. Any thread.
    virtual std::unique_ptr<IHidrawMonitor> OpenMonitor() = 0;
};
