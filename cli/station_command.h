#pragma once
// `station`: waits for controllers and updates each one that is plugged in,
// once, in parallel, until Ctrl-C, --max or a failed write of the record.
#include <functional>
#include <memory>
#include <string>

#include "base/clock.h"
#include "cli/event_output.h"
#include "hid/hid_backend.h"
#include "station/attached_unit.h"
#include "station/unit_record.h"

class StationCatalogue;

struct StationRequest {
    std::string package;  // every unit's package, unless catalogue
    StationCatalogue* catalogue = nullptr;  // loaded; each unit's package from it
    std::string packageSha256;  // of package, when it could be computed
    bool verify = false;  // block units read their image back
    int maxUnits = 0;
    std::string logFile;  // the unit record; empty: none
    bool statusLine = false;  // stderr is a terminal: the counters redrawn in place
};

// Calls onChange (any thread) on every device arrival or removal until the
// returned object is released; null when changes cannot be watched.
using DeviceChangeWatch = std::function<std::shared_ptr<void>(std::function<void()> onChange)>;

// A fleet hook: called on the station thread after each unit has ended.
using UnitEndedHook = std::function<void(const UnitRecord& record)>;

int RunStationCommand(IHidBackend& backend, IClock& clock, const UnitDescriber& describe,
                      const DeviceChangeWatch& watch, const StationRequest& request, EventOutput& out,
                      const UnitEndedHook& ended = {});
