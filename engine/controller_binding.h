#pragma once
// The controllers a published package is for. A package file names no
// family: a stream controller, or a block one of an ordinary type, takes
// the first record of any file. So a package chosen for the user (from a
// catalogue) carries this binding, and nothing outside it is offered or
// installed.
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/device_description.h"
#include "hid/hid.h"

struct ControllerBinding {
    std::uint32_t family = kProtocolStream;  // a protocol variant
    std::vector<UsbId> usb;                  // at least one
    std::vector<std::uint32_t> deviceTypes;  // block: at least one
    std::vector<std::uint16_t> models;       // stream: empty for every model
    std::vector<std::uint8_t> subModels;     // stream: empty for every sub-model
    bool operator==(const ControllerBinding&) const = default;
};

// What is known of a controller when a binding is judged. The stream model
// is told only once an update has begun; before that it is not judged.
struct BoundController {
    std::uint32_t family = kProtocolStream;
    std::optional<UsbId> usb;  // unknown inside a session that was handed a path
    DeviceDescription device;
    bool modelKnown = false;
};

// True when the binding says what a catalogue entry must: the family's own
// fields, at least one USB id, and for the block family a device type.
bool BindingComplete(const ControllerBinding& binding);

bool BindingCovers(const ControllerBinding& binding, const BoundController& controller);
