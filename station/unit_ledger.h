#pragma once
// Which plug-ins the station has taken, so that each is updated once: a
// unit counts once per plug-in, a controller that re-enumerates after its
// update is the same unit once it proves it (it runs the version it was
// just given), and one that failed is taken again only when it has been
// unplugged and plugged in again. Station thread only.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "station/attached_unit.h"
#include "station/unit_record.h"

// How long a controller may be away after a successful update and still be
// taken for the same unit when it comes back on its port (it restarts into
// the new firmware). A later return is a new plug-in.
inline constexpr std::uint64_t kReEnumerationWindowMs = 15'000;

// A controller back on the port of a unit just updated: the same unit only
// if it runs givenVersion.
struct ReturningUnit {
    AttachedUnit unit;
    std::uint32_t givenVersion = 0;
};

class UnitLedger {
public:
    // The present units at nowMs; returns those that are new plug-ins,
    // which are now counted as running.
    std::vector<AttachedUnit> Reconcile(const std::vector<AttachedUnit>& present, std::uint64_t nowMs);
    // The controllers that came back since the last call, each to be asked
    // its version (ProofDone) before it counts as anything.
    std::vector<ReturningUnit> TakeReturning();
    // A running unit's outcome; givenVersion: the version an update wrote.
    void Finished(const std::string& key, UnitOutcome outcome, std::uint64_t nowMs,
                  std::optional<std::uint32_t> givenVersion = std::nullopt);
    // The proof of a returning unit: same when it answered with the version
    // it was given. True when it is a new unit to take now (counted as running).
    bool ProofDone(const std::string& key, bool same);
    std::size_t Running() const;

private:
    enum class State { Running, Done, Away, Proving };
    struct Entry {
        State state = State::Running;
        UnitOutcome outcome = UnitOutcome::Running;
        bool present = true;
        bool replugged = false;     // gone and back while running
        std::uint64_t awayUntil = 0;
        std::optional<std::uint32_t> given;  // after an update
        AttachedUnit unit;
    };
    // Asks for the proof, or without a version to prove it by, forgets the
    // entry so that the controller is a new plug-in.
    bool Prove(const std::string& key, Entry& entry);

    std::map<std::string, Entry> m_Units;
    std::vector<ReturningUnit> m_Returning;
};
