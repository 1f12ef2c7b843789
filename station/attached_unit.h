#pragma once
// A controller as the station sees it on the bus, before anything is opened.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "hid/protocol_family.h"

// What the platform tells about an interface without opening it (sysfs, the
// device path, the simulator's table).
struct UnitIdentity {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string port;    // the USB port path: the same after the device re-enumerates
    std::string serial;  // the HID serial number; empty when the device has none
};
using UnitDescriber = std::function<std::optional<UnitIdentity>(const std::u16string& path)>;

struct AttachedUnit {
    std::u16string path;  // the interface to open
    UnitIdentity identity;
    std::uint32_t variant = kProtocolStream;  // the family

    // One plug-in is one key: the port, and the serial when there is one.
    std::string Key() const { return identity.port + "#" + identity.serial; }
};
