#pragma once
// Which plug-ins the station has taken, so that each is updated once: a
// unit counts once per plug-in, a controller that re-enumerates after its
// update is the same unit, and one that failed is taken again only when it
// has been unplugged and plugged in again. Station thread only.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "station/attached_unit.h"
#include "station/unit_record.h"

// How long a controller may be away after a successful update and still be
// the same unit when it comes back on its port (it restarts into the new
// firmware). A later return is a new plug-in.
inline constexpr std::uint64_t kReEnumerationWindowMs = 15'000;

class UnitLedger {
public:
    // The present units at nowMs; returns those that are new plug-ins,
    // which are now counted as running.
    std::vector<AttachedUnit> Reconcile(const std::vector<AttachedUnit>& present, std::uint64_t nowMs);
    // A running unit's outcome.
    void Finished(const std::string& key, UnitOutcome outcome, std::uint64_t nowMs);
    std::size_t Running() const;

private:
    enum class State { Running, Done, Away };
    struct Entry {
        State state = State::Running;
        UnitOutcome outcome = UnitOutcome::Running;
        bool present = true;
        bool replugged = false;     // gone and back while running
        std::uint64_t awayUntil = 0;
    };
    std::map<std::string, Entry> m_Units;
};
