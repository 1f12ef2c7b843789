#pragma once
// Whether a signed catalogue is the current one of its series: not older
// than one already seen, not the same version with other contents, not
// expired. A pure judgement over the remembered state and the times it is
// given; the caller loads and stores the state (catalogue/trust_store.h).
//
// Time is never taken from the clock alone: the effective time is the
// latest of the clock, the latest signed time seen and the build's time,
// so a clock set back does not revive an expired catalogue.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "catalogue/catalogue.h"
#include "catalogue/freshness_state.h"

// Clocks drift: a catalogue is refused a day after it expires.
inline constexpr UtcSeconds kExpirySlack = kSecondsPerDay;
// Fewer days left than this: accepted, with a warning.
inline constexpr std::int64_t kExpiryWarningDays = 14;

// The lowest version a build accepts of a repository, whatever it remembers.
struct VersionFloor {
    std::string_view repository;
    std::uint64_t version = 0;
};

// What holds even with no state: compiled into the build.
struct FreshnessFloors {
    UtcSeconds buildTime = 0;
    std::span<const VersionFloor> versions;
};

struct FreshnessRequest {
    UtcSeconds clock = 0;      // the system clock
    bool offline = false;      // --offline
    bool localSource = false;  // read from a path, not fetched
};

enum class FreshnessProblem {
    None,
    LongRepositoryName,  // longer than kMaxRepositoryNameBytes
    Older,               // a lower version than seen, or than the build's floor
    OtherBytes,          // the version seen, with other contents
    Expired,
};

struct FreshnessVerdict {
    FreshnessProblem problem = FreshnessProblem::None;
    std::uint64_t knownVersion = 0;  // with Older: the version it is older than
    bool belowBuildFloor = false;    // with Older: that version is the build's floor
    UtcSeconds clock = 0;
    UtcSeconds latestSigned = 0;     // of every repository remembered
    UtcSeconds buildTime = 0;
    UtcSeconds effectiveTime = 0;
    bool expiredOffline = false;     // accepted past its expiry by --offline
    bool expiresSoon = false;        // accepted, fewer than kExpiryWarningDays left
    FreshnessState next;             // what to store; the state given unless accepted as new
    bool changed = false;            // next differs from the state given
    bool Accepted() const { return problem == FreshnessProblem::None; }
};

FreshnessVerdict JudgeFreshness(const Catalogue& catalogue, const Sha256Digest& sha256, const FreshnessState& state,
                                const FreshnessFloors& floors, const FreshnessRequest& request);

// The floors of this build (the UPDATER_MIN_CATALOGUE_VERSIONS option, and
// the time it was configured).
FreshnessFloors BuiltInFreshnessFloors();

// The key set a walk ended on, against the one remembered for repository.
// Older: false, and state is untouched (a mirror hiding the key set that
// revoked a stolen key). Newer: remembered; when the walk passed a
// revocation the series starts over, as a stolen key may have signed a
// huge version (TUF's recovery). Times are kept: they only rise.
bool FollowKeySet(FreshnessState& state, std::string_view repository, std::uint64_t keySetVersion, bool revoked);

// "the key sets served end at version 1, before version 2 already seen"
std::string KeySetRollbackText(const FreshnessState& state, std::string_view repository, std::uint64_t keySetVersion);

// Whole days from time until expires, rounded down (negative once past it).
std::int64_t DaysLeft(UtcSeconds expires, UtcSeconds time);

// Words for a user, naming the numbers and times the refusal is about.
std::string FreshnessRefusalText(const Catalogue& catalogue, const FreshnessVerdict& verdict);
