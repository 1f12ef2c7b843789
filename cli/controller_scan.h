#pragma once
// Every attached supported controller, not only the first one the dialog
// would take, including those that are present but cannot be opened.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/session_start.h"
#include "hid/hid_backend.h"
#include "hid/protocol_family.h"

struct FoundController {
    std::u16string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint32_t variant = kProtocolStream;  // the family
    bool openable = true;
    std::uint32_t openError = 0;  // the backend's code when not openable
};

// Where a session starts on it.
KnownController KnownControllerOf(const FoundController& controller);

// Vendor and product of an interface that cannot be opened, when the
// platform can tell them without opening it (sysfs, the simulator).
using IdentityLookup = std::function<std::optional<HidAttributes>(const std::u16string& path)>;

std::vector<FoundController> ScanControllers(IHidBackend& backend, const IdentityLookup& lookup);

// What to do about a controller that cannot be opened, for this platform.
std::string OpenFailureAdvice(std::uint32_t openError);
