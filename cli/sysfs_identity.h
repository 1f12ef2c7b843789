#pragma once
// Vendor and product of a hidraw node without opening it (sysfs is readable
// by anyone), so a controller the udev rule does not cover is still listed.
#include <optional>
#include <string>

#include "hid/hid_backend.h"

std::optional<HidAttributes> SysfsHidIdentity(const std::u16string& nodePath);
