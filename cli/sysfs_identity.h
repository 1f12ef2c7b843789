#pragma once
// Vendor and product of a hidraw node without opening it (sysfs is readable
// by anyone), so a controller the udev rule does not cover is still listed.
#include <optional>
#include <string>

#include "hid/hid_backend.h"
#include "station/attached_unit.h"

std::optional<HidAttributes> SysfsHidIdentity(const std::u16string& nodePath);

// The same, with the USB port (HID_PHYS without its interface) and the HID
// serial number (HID_UNIQ) the station names units by.
std::optional<UnitIdentity> SysfsUnitIdentity(const std::u16string& nodePath);
