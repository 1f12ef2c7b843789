#pragma once
// What the station reports about each unit, and its counters.
#include <cstdint>
#include <string>

#include "station/attached_unit.h"

// What a unit's line and record say of the package it was given.
struct UnitTrace {
    std::string catalogueRepository;  // empty: not from a catalogue
    std::uint64_t catalogueVersion = 0;
    std::string packageFile;    // the package's file name
    std::string packageSha256;  // hex; empty when not known
    std::string belowFloor;     // the security floor a package below it was let past
};

// Whether an updated unit's image was read back (station --verify).
enum class ReadBack {
    NotAsked,
    Matched,
    NotVerified,  // the unit's family has no read-back
};

enum class UnitOutcome {
    Running,
    Updated,   // the package's image was written and the controller finished
    UpToDate,  // the controller already runs the package's version; nothing sent
    Failed,    // the update did not complete (unplugged, no answer, stopped, a check failed)
    Refused,   // the package has nothing this controller may take; nothing sent
};

// The outcome in words, as lines and events name it.
const char* OutcomeName(UnitOutcome outcome);

struct UnitRecord {
    int id = 0;  // 1, 2, ... in the order units were taken
    AttachedUnit unit;
    std::uint64_t startMs = 0;  // the station clock
    std::uint32_t versionBefore = 0;
    std::uint32_t versionAfter = 0;
    bool versionKnown = false;  // the controller answered with its version
    UnitOutcome outcome = UnitOutcome::Running;
    std::string reason;    // a short code: "updated", "up-to-date", "no-record", "update-failed", ...
    std::u16string message;  // what went wrong, in the UI language; empty on success
    std::uint64_t durationMs = 0;
    int percent = 0;
    UnitTrace trace;
    ReadBack readBack = ReadBack::NotAsked;
};

struct StationCounters {
    int updated = 0;
    int upToDate = 0;
    int failed = 0;
    int refused = 0;
    int running = 0;

    int Finished() const { return updated + upToDate + failed + refused; }
    void Count(UnitOutcome outcome);
};
