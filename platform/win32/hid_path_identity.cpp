#include "platform/win32/hid_path_identity.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "base/utf.h"

std::optional<UnitIdentity> HidPathIdentity(const std::u16string& path)
{
    std::string text = Utf16ToUtf8(path);
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    const auto vid = text.find("vid_");
    const auto pid = text.find("pid_");
    unsigned vendor = 0, product = 0;
    if (vid == std::string::npos || pid == std::string::npos ||
        std::sscanf(text.c_str() + vid, "vid_%4x", &vendor) != 1 ||
        std::sscanf(text.c_str() + pid, "pid_%4x", &product) != 1)
        return std::nullopt;
    UnitIdentity identity;
    identity.vendorId = static_cast<std::uint16_t>(vendor);
    identity.productId = static_cast<std::uint16_t>(product);
    // The instance id: between the hardware id's '#' and the class GUID's.
    const auto first = text.find('#', pid);
    const auto second = first == std::string::npos ? first : text.find('#', first + 1);
    identity.port = first == std::string::npos ? text
                                               : text.substr(first + 1, second == std::string::npos
                                                                            ? std::string::npos
                                                                            : second - first - 1);
    return identity;
}
