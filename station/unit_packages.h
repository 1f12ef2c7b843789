#pragma once
// Where each unit's package comes from: one file for every unit, or the
// newest package of a catalogue whose binding covers the unit. The station
// asks once per unit, after the unit's session has read the controller.
#include <optional>
#include <string>

#include "base/stop_signal.h"
#include "engine/controller_binding.h"
#include "station/unit_record.h"

struct UnitPackage {
    std::u16string path;  // a file this unit alone reads; empty: refused
    bool owned = false;   // the unit removes path once it has ended
    std::optional<ControllerBinding> binding;  // a catalogue's: the engine refuses outside it
    UnitTrace trace;
    std::string refusal;      // the reason code, when path is empty
    std::string refusalText;  // the reason in words
};

class IUnitPackages {
public:
    virtual ~IUnitPackages() = default;
    // The package for a controller. Called from several units' threads at
    // once; bounded by the source's download time-outs, and ends early,
    // refused with the reason "stopped", once stop is requested.
    virtual UnitPackage PackageFor(const BoundController& controller, const StopSignal& stop) = 0;
    // The station thread, each time it looks at the bus (at least every
    // kStationRecheckMs); unitWaiting when a new unit is about to be taken.
    // May fetch; bounded by the source's time-outs.
    virtual void Refresh(bool unitWaiting) = 0;
};

// A copy of path that only one unit reads; nullopt when none can be made
// (station/unit_copy.cpp).
std::optional<std::u16string> UnitCopyOf(const std::u16string& path);
using UnitCopier = std::optional<std::u16string> (*)(const std::u16string& path);

// One package file for every unit. With a copier each unit reads a copy of
// its own: the engine opens a package with no sharing where the platform
// has sharing modes (Windows), so units reading one file side by side would
// keep each other out. Without one (the page: one unit at a time, files in
// memory) units read the file itself, and the file system's copying code,
// with its locale machinery, stays out of the page's module.
class LoosePackage final : public IUnitPackages {
public:
    LoosePackage(std::u16string path, UnitTrace trace, UnitCopier copy = nullptr)
        : m_Path(std::move(path)), m_Trace(std::move(trace)), m_Copy(copy)
    {
    }
    UnitPackage PackageFor(const BoundController& controller, const StopSignal& stop) override;
    void Refresh(bool) override {}

private:
    std::u16string m_Path;
    UnitTrace m_Trace;
    UnitCopier m_Copy;
};
