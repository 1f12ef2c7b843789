#pragma once
// Simulated controllers for --simulate, each on its own path of one bus.
// A kind may carry a fault after a colon, for tests and demonstrations:
//   stream:old     a model that accepts only 5.02 and later
//   stream:fail    reports a failure after a few chunks
//   stream:silent  stops answering after a few chunks
//   block:corrupt  the flash keeps one image byte wrong
//   block:noread   does not acknowledge memory reads
//   block:fail     stops acknowledging image writes
//   stream:locked, block:locked  cannot be opened
//   stream:current, block:current  already run the demo packages' version
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/clock.h"
#include "hid/hid_backend.h"
#include "sim/demo_setup.h"
#include "sim/virtual_hid_bus.h"

struct SimulatedController {
    DemoKind kind = DemoKind::Stream;
    std::string fault;
};

// "stream,block:corrupt" -> two controllers; nullopt on a bad item.
std::optional<std::vector<SimulatedController>> ParseSimulatedList(std::string_view list);

// The virtual device of one simulated controller (its path left empty).
SimDeviceConfig MakeSimulatedDevice(const SimulatedController& controller, std::uint32_t answerDelayMs);

class SimFleet {
public:
    // answerDelayMs paces every answer (the frame time of a real link).
    SimFleet(IClock& clock, const std::vector<SimulatedController>& controllers,
             std::uint32_t answerDelayMs = 0);

    IHidBackend& Backend() { return m_Bus; }
    // Vendor and product of a simulated path, also for a locked one.
    std::optional<HidAttributes> Identity(const std::u16string& path) const;

private:
    VirtualHidBus m_Bus;
    std::map<std::u16string, HidAttributes> m_Identities;
};
