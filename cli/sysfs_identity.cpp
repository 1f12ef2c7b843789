#include "cli/sysfs_identity.h"

#include <cstdio>
#include <fstream>

#include "base/utf.h"

namespace {

// The uevent of the HID device behind a hidraw node, as NAME=value lines.
std::ifstream HidUevent(const std::u16string& nodePath)
{
    const std::string node = Utf16ToUtf8(nodePath);
    const auto slash = node.rfind('/');
    return std::ifstream("/sys/class/hidraw/" + node.substr(slash + 1) + "/device/uevent");
}

}  // namespace

std::optional<HidAttributes> SysfsHidIdentity(const std::u16string& nodePath)
{
    const auto unit = SysfsUnitIdentity(nodePath);
    if (!unit)
        return std::nullopt;
    return HidAttributes{unit->vendorId, unit->productId, 0};
}

std::optional<UnitIdentity> SysfsUnitIdentity(const std::u16string& nodePath)
{
    std::ifstream uevent = HidUevent(nodePath);
    UnitIdentity identity;
    bool identified = false;
    std::string line;
    while (std::getline(uevent, line)) {
        unsigned bus = 0, vendor = 0, product = 0;
        // HID_ID=0003:0000045E:0000028E
        if (std::sscanf(line.c_str(), "HID_ID=%x:%x:%x", &bus, &vendor, &product) == 3) {
            identity.vendorId = static_cast<std::uint16_t>(vendor);
            identity.productId = static_cast<std::uint16_t>(product);
            identified = true;
        } else if (line.rfind("HID_PHYS=", 0) == 0) {
            // usb-0000:00:14.0-2.1/input0: the port, whichever interface
            identity.port = line.substr(9, line.rfind("/input") == std::string::npos ? std::string::npos
                                                                                      : line.rfind("/input") - 9);
        } else if (line.rfind("HID_UNIQ=", 0) == 0) {
            identity.serial = line.substr(9);
        }
    }
    if (!identified)
        return std::nullopt;
    if (identity.port.empty())
        identity.port = Utf16ToUtf8(nodePath);
    return identity;
}
