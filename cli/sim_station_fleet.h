#pragma once
// Simulated controllers for the station: plugged and unplugged over time on
// one virtual bus, each on a port with a serial number, and re-enumerating
// after a successful update as a real controller does (gone, then back on
// the same port with the new version). Foreign devices can share the bus.
//
// Threads: every method from any thread; scheduled actions run on the
// fleet's own thread, in time order.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "cli/sim_fleet.h"
#include "station/attached_unit.h"

class SimStationFleet {
public:
    // How long a simulated controller is away while it restarts.
    static constexpr std::uint32_t kRestartMs = 80;

    explicit SimStationFleet(IClock& clock, std::uint32_t answerDelayMs = 0);
    ~SimStationFleet();
    SimStationFleet(const SimStationFleet&) = delete;
    SimStationFleet& operator=(const SimStationFleet&) = delete;

    IHidBackend& Backend();
    // Names a path as the station asks; nothing for one never plugged.
    UnitDescriber Describer();
    // Called on every plug and unplug, on the thread that did it.
    void OnChange(std::function<void()> onChange);

    void Plug(const std::string& port, const SimulatedController& controller, const std::string& serial = {});
    // A HID device of another maker on the same bus.
    void PlugForeign(const std::string& port);
    void Unplug(const std::string& port);
    // Gone now, back after kRestartMs running the demo packages' version.
    void ReEnumerate(const std::string& port);
    // Runs action once the clock reaches atMs.
    void At(std::uint64_t atMs, std::function<void()> action);
    // How often the station (or anyone) opened the device on port.
    int Opens(const std::string& port) const;

private:
    class CountingBus;
    struct Plugged {
        VirtualHidBus::DeviceId id = 0;
        SimulatedController controller;
        std::string serial;
    };
    void RunSchedule();
    static std::u16string PathOf(const std::string& port);

    IClock& m_Clock;
    std::uint32_t m_AnswerDelayMs;
    VirtualHidBus m_Bus;
    std::unique_ptr<CountingBus> m_Counting;
    mutable std::mutex m_Mutex;
    std::map<std::u16string, UnitIdentity> m_Identities;  // every path ever plugged
    std::map<std::string, Plugged> m_Plugged;
    std::function<void()> m_OnChange;
    std::multimap<std::uint64_t, std::function<void()>> m_Schedule;
    std::unique_ptr<IClockWait> m_ScheduleWake;
    bool m_Ending = false;
    std::thread m_Thread;
};
