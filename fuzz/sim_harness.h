#pragma once
// One simulated controller on a bus with a fake clock, written to and read
// from the way the host's link does it.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "fuzz/sim_input.h"
#include "sim/fake_clock.h"
#include "sim/virtual_hid_bus.h"

class SimHarness {
public:
    explicit SimHarness(SimDeviceConfig device);
    ~SimHarness();
    SimHarness(const SimHarness&) = delete;
    SimHarness& operator=(const SimHarness&) = delete;

    // Writes report ID 0 and the payload (at most 64 bytes, zero-padded).
    // False when the device is no longer there to take it.
    bool Write(const std::uint8_t* payload, std::size_t count);
    // Lets time pass, then takes every answer that has become readable.
    std::vector<HidReport> Answers(std::uint32_t elapseMs);

private:
    FakeClock m_Clock;
    VirtualHidBus m_Bus{m_Clock};
    HidHandle m_Writer = kInvalidHidHandle;
    HidHandle m_Reader = kInvalidHidHandle;
};

// Calls write for each report payload of the input after the configuration
// byte, each copied into a buffer of its own exact size, until it returns false.
void ForEachReport(const std::uint8_t* data, std::size_t size,
                   const std::function<bool(const std::uint8_t* payload, std::size_t count)>& write);
