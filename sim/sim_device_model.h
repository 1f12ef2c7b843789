#pragma once
// What a simulated controller implements: it sees every output report the
// host writes and answers through the port.
#include <cstdint>

#include "hid/hid_backend.h"

// Handed to the model while it handles one output report; valid only then.
class SimDevicePort {
public:
    virtual ~SimDevicePort() = default;
    // Queues an input report (64 payload bytes; the report ID is added) that
    // becomes readable delayMs after now.
    virtual void SendInput(const std::uint8_t* payload64, std::uint32_t delayMs = 0) = 0;
    // The device leaves the bus once this report has been handled.
    virtual void Unplug() = 0;
    virtual std::uint64_t NowMs() = 0;
};

class ISimDeviceModel {
public:
    virtual ~ISimDeviceModel() = default;
    // One whole output report, report ID first (65 bytes). Runs with the bus
    // locked: it must not call back into the bus.
    virtual void OnOutputReport(const std::uint8_t* report65, SimDevicePort& port) = 0;
};
