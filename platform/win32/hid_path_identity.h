#pragma once
// A unit's identity from its HID interface path alone, without opening it:
//   \\?\hid#vid_0483&pid_5750#7&1a2b3c4d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}
// VID and PID from the hardware id, the port from the instance id (Windows
// derives it from the hub port for a device without a serial number).
#include <optional>
#include <string>

#include "station/attached_unit.h"

std::optional<UnitIdentity> HidPathIdentity(const std::u16string& path);
