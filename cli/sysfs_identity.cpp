#include "cli/sysfs_identity.h"

#include <cstdio>
#include <fstream>

#include "base/utf.h"

std::optional<HidAttributes> SysfsHidIdentity(const std::u16string& nodePath)
{
    const std::string node = Utf16ToUtf8(nodePath);
    const auto slash = node.rfind('/');
    std::ifstream uevent("/sys/class/hidraw/" + node.substr(slash + 1) + "/device/uevent");
    std::string line;
    while (std::getline(uevent, line)) {
        unsigned bus = 0, vendor = 0, product = 0;
        // HID_ID=0003:0000045E:0000028E
        if (std::sscanf(line.c_str(), "HID_ID=%x:%x:%x", &bus, &vendor, &product) == 3)
            return HidAttributes{static_cast<std::uint16_t>(vendor), static_cast<std::uint16_t>(product), 0};
    }
    return std::nullopt;
}
