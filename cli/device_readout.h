#pragma once
// What a listed controller tells about itself: the bounded version query
// (stream) or identification (block) the dialog runs when it finds one.
#include <string>

#include "base/clock.h"
#include "cli/controller_scan.h"
#include "engine/device_description.h"

struct DeviceReadout {
    bool answered = false;  // the version word came back
    DeviceDescription device;
};

DeviceReadout ReadDevice(IHidBackend& backend, IClock& clock, const FoundController& controller);

// "V1.37" style, as the title shows the version; "no answer" when unknown.
std::string VersionText(const DeviceReadout& readout);
