#include "cli/catalogue_freshness_step.h"

#include "catalogue/catalogue_freshness.h"
#include "catalogue/package_location.h"
#include "cli/exit_codes.h"
#include "cli/wall_clock.h"

namespace {

const char* ReasonOf(FreshnessProblem problem)
{
    switch (problem) {
    case FreshnessProblem::Older:
        return "catalogue-older";
    case FreshnessProblem::OtherBytes:
        return "catalogue-replaced";
    case FreshnessProblem::Expired:
        return "catalogue-expired";
    case FreshnessProblem::LongRepositoryName:
    case FreshnessProblem::None:
        break;
    }
    return "catalogue-refused";
}

// The remembered state; the build's floors alone (an empty state) when
// there is none or it cannot be used, which is said.
FreshnessState LoadState(ITrustStore* store, EventOutput& out)
{
    if (store == nullptr)
        return {};
    const TrustStoreLoad load = store->Load();
    if (load.status == TrustStoreStatus::Absent)
        return {};
    std::optional<FreshnessState> state;
    if (load.status == TrustStoreStatus::Read)
        state = ParseFreshnessState(load.text);
    if (!state) {
        const std::string cause = load.status == TrustStoreStatus::Failed ? load.detail : "not a catalogue state";
        out.Message("The catalogue memory " + store->Where() + " cannot be used (" + cause +
                        "); judging by this build's floors alone.",
                    {{"event", "catalogue-state-unusable"}, {"state", store->Where()}, {"cause", cause}});
        return {};
    }
    return *state;
}

void ReportAccepted(const Catalogue& catalogue, const FreshnessVerdict& verdict, const std::string& location,
                    EventOutput& out)
{
    const std::int64_t daysLeft = DaysLeft(catalogue.expires, verdict.effectiveTime);
    nlohmann::json event = {{"location", location}, {"daysLeft", daysLeft}};
    AddCatalogueHeader(event, catalogue);
    if (verdict.expiredOffline) {
        const std::int64_t age = DaysLeft(verdict.effectiveTime, catalogue.published);
        event["event"] = "catalogue-expired-offline";
        event["ageDays"] = age;
        out.Message(location + ": the catalogue expired " + UtcTimeText(catalogue.expires) + " and is " +
                        std::to_string(age) + " days old; used because --offline was given",
                    event);
    } else if (verdict.expiresSoon) {
        event["event"] = "catalogue-expiring";
        out.Message(location + ": warning: the catalogue expires " + UtcTimeText(catalogue.expires) + ", in " +
                        std::to_string(daysLeft) + " days; a newer one should be published",
                    event);
    }
}

}  // namespace

void AddCatalogueHeader(nlohmann::json& event, const Catalogue& catalogue)
{
    event["repository"] = catalogue.repository;
    event["catalogueVersion"] = catalogue.version;
    event["expires"] = UtcTimeText(catalogue.expires);
}

std::optional<FreshnessRefusal> JudgeAndRemember(const CatalogueServices& services, const CliOptions& options,
                                                 const Catalogue& catalogue, const Sha256Digest& sha256,
                                                 const std::optional<KeyChainWalk>& keyChain, EventOutput& out)
{
    const FreshnessState stored = LoadState(services.memory, out);
    FreshnessState state = stored;
    if (keyChain)
        FollowKeySet(state, catalogue.repository, *keyChain);
    const FreshnessRequest request{WallClockNow(), options.offline, !IsHttpUrl(options.catalogue)};
    FreshnessVerdict verdict = JudgeFreshness(catalogue, sha256, state, BuiltInFreshnessFloors(), request);
    if (!verdict.Accepted()) {
        std::string line = options.catalogue + ": " + FreshnessRefusalText(catalogue, verdict);
        if (verdict.problem == FreshnessProblem::Expired && options.offline)
            line += "; --offline takes an expired catalogue only from a local file";
        return FreshnessRefusal{ReasonOf(verdict.problem), line};
    }
    ReportAccepted(catalogue, verdict, options.catalogue, out);
    if (keyChain)
        verdict.next.repositories[catalogue.repository].keySetVersion = keyChain->final.version;
    if (verdict.next != stored && services.memory != nullptr) {
        if (const std::string error = services.memory->Save(FreshnessStateJson(verdict.next)); !error.empty())
            out.Message("The catalogue memory cannot be written (" + error +
                            "); this catalogue is used but not remembered.",
                        {{"event", "catalogue-state-unwritable"}, {"cause", error}});
    }
    return std::nullopt;
}
