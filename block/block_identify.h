#pragma once
// Identification of a block-protocol controller: its type, memory map and
// version. UI thread, right after UpdateSession::Attach opened the link.
#include <cstdint>
#include <string>

#include "engine/device_description.h"

class UpdateSession;

// Reads the device type (choosing the memory map), then the version word;
// shows the version in the title, or the instructions when there is none.
// Returns `earlier` with what was learnt: a type that cannot be read keeps
// its earlier value (with the default map), a version that cannot be read
// too.
DeviceDescription IdentifyBlockDevice(UpdateSession& session, DeviceDescription earlier);

// TextId::Title followed by the version, with the beta number when bits 16-31 hold one.
std::u16string BlockVersionTitle(std::uint32_t version);
