#include "catalogue/catalogue_freshness.h"

#include <algorithm>

#include "catalogue/build_floors.h"

namespace {

std::uint64_t BuildFloor(std::span<const VersionFloor> floors, std::string_view repository)
{
    std::uint64_t floor = 0;
    for (const VersionFloor& f : floors)
        if (f.repository == repository)
            floor = std::max(floor, f.version);
    return floor;
}

// Room for one more repository: the one signed longest ago makes way.
void MakeRoom(FreshnessState& state)
{
    if (state.repositories.size() < kMaxRememberedRepositories)
        return;
    const auto oldest = std::min_element(state.repositories.begin(), state.repositories.end(),
                                         [](const auto& a, const auto& b) {
                                             return a.second.latestSigned < b.second.latestSigned;
                                         });
    state.repositories.erase(oldest);
}

std::string Named(const Catalogue& catalogue)
{
    return "the catalogue of \"" + catalogue.repository + "\" (version " + std::to_string(catalogue.version) + ")";
}

}  // namespace

FreshnessVerdict JudgeFreshness(const Catalogue& catalogue, const Sha256Digest& sha256, const FreshnessState& state,
                                const FreshnessFloors& floors, const FreshnessRequest& request)
{
    FreshnessVerdict verdict;
    verdict.next = state;
    verdict.clock = request.clock;
    verdict.buildTime = floors.buildTime;
    for (const auto& [name, memory] : state.repositories)
        verdict.latestSigned = std::max(verdict.latestSigned, memory.latestSigned);
    verdict.effectiveTime = std::max({request.clock, verdict.latestSigned, floors.buildTime});
    if (catalogue.repository.size() > kMaxRepositoryNameBytes) {
        verdict.problem = FreshnessProblem::LongRepositoryName;
        return verdict;
    }
    const auto found = state.repositories.find(catalogue.repository);
    const RepositoryMemory* memory = found == state.repositories.end() ? nullptr : &found->second;
    const std::uint64_t seen = memory ? memory->version : 0;
    const std::uint64_t floor = BuildFloor(floors.versions, catalogue.repository);
    if (catalogue.version < std::max(seen, floor)) {
        verdict.problem = FreshnessProblem::Older;
        verdict.knownVersion = std::max(seen, floor);
        verdict.belowBuildFloor = floor > seen;
        return verdict;
    }
    const bool seenBefore = memory != nullptr && catalogue.version == seen;
    if (seenBefore && memory->sha256 != sha256) {
        verdict.problem = FreshnessProblem::OtherBytes;
        verdict.knownVersion = seen;
        return verdict;
    }
    if (verdict.effectiveTime > catalogue.expires + kExpirySlack) {
        if (!request.offline || !request.localSource) {
            verdict.problem = FreshnessProblem::Expired;
            return verdict;
        }
        verdict.expiredOffline = true;
    }
    verdict.expiresSoon = !verdict.expiredOffline &&
                          DaysLeft(catalogue.expires, verdict.effectiveTime) < kExpiryWarningDays;
    if (seenBefore)
        return verdict;
    if (memory == nullptr)
        MakeRoom(verdict.next);
    RepositoryMemory& next = verdict.next.repositories[catalogue.repository];
    next.version = catalogue.version;
    next.sha256 = sha256;
    next.latestSigned = std::max(next.latestSigned, catalogue.published);
    verdict.changed = true;
    return verdict;
}

FreshnessFloors BuiltInFreshnessFloors()
{
    return {kBuildTime, kBuildVersionFloors};
}

bool FollowKeySet(FreshnessState& state, std::string_view repository, std::uint64_t keySetVersion, bool revoked)
{
    const auto found = state.repositories.find(repository);
    if (found == state.repositories.end())
        return true;
    RepositoryMemory& memory = found->second;
    if (keySetVersion < memory.keySetVersion)
        return false;
    if (keySetVersion == memory.keySetVersion)
        return true;
    if (revoked) {
        memory.version = 0;
        memory.sha256 = {};
    }
    memory.keySetVersion = keySetVersion;
    return true;
}

std::string KeySetRollbackText(const FreshnessState& state, std::string_view repository, std::uint64_t keySetVersion)
{
    const auto found = state.repositories.find(repository);
    const std::uint64_t seen = found == state.repositories.end() ? 0 : found->second.keySetVersion;
    return "the key sets served end at version " + std::to_string(keySetVersion) + ", before version " +
           std::to_string(seen) + " already seen";
}

std::int64_t DaysLeft(UtcSeconds expires, UtcSeconds time)
{
    const UtcSeconds left = expires - time;
    return (left >= 0 ? left : left - (kSecondsPerDay - 1)) / kSecondsPerDay;
}

std::string FreshnessRefusalText(const Catalogue& catalogue, const FreshnessVerdict& verdict)
{
    const std::string known = std::to_string(verdict.knownVersion);
    switch (verdict.problem) {
    case FreshnessProblem::None:
        return {};
    case FreshnessProblem::LongRepositoryName:
        return "the catalogue's repository name is longer than " + std::to_string(kMaxRepositoryNameBytes) +
               " bytes";
    case FreshnessProblem::Older:
        return Named(catalogue) + " is older than the catalogue already seen (version " + known +
               (verdict.belowBuildFloor ? ", the oldest this build accepts)" : ")");
    case FreshnessProblem::OtherBytes:
        return Named(catalogue) + " differs from the version " + known +
               " already seen: the same version with other contents";
    case FreshnessProblem::Expired:
        return Named(catalogue) + " expired " + UtcTimeText(catalogue.expires) + "; the time is at least " +
               UtcTimeText(verdict.effectiveTime) + " (the clock says " + UtcTimeText(verdict.clock) +
               ", the latest signed time seen is " + UtcTimeText(verdict.latestSigned) + ", this program was built " +
               UtcTimeText(verdict.buildTime) + ")";
    }
    return {};
}
