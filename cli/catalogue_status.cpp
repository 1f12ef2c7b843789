#include "cli/catalogue_status.h"

#include "catalogue/catalogue_freshness.h"
#include "cli/catalogue_source.h"
#include "cli/exit_codes.h"
#include "cli/hex_text.h"
#include "cli/wall_clock.h"

namespace {

std::string Text(const FetchResult& read)
{
    return std::string(read.body.begin(), read.body.end());
}

// The key numbers of FILE.sig, in words and as JSON.
std::string Signers(const std::string& file, nlohmann::json& keys)
{
    const StopSignal never;
    const FetchResult sig = FetchLocation({}, file + ".sig", kMaxSignifyFileBytes, {never});
    if (sig.problem != FetchProblem::None)
        return "no signature (" + file + ".sig)";
    const auto parsed = ParseSignifySignature(Text(sig));
    if (!parsed)
        return "a damaged signature file (" + file + ".sig)";
    keys.push_back(HexBytes(parsed->number));
    return "signed by key " + HexBytes(parsed->number);
}

}  // namespace

int RunCatalogueStatus(const CliOptions& options, EventOutput& out)
{
    const std::string& file = options.catalogue;
    const StopSignal never;
    const FetchResult read = FetchLocation({}, file, kMaxCatalogueBytes + 1, {never});
    const CatalogueParse parse =
        read.problem == FetchProblem::None ? ParseCatalogue(Text(read)) : CatalogueParse{{}, CatalogueProblem::None};
    if (!parse.catalogue) {
        const std::string why = read.problem == FetchProblem::None ? CatalogueProblemText(parse.problem)
                                                                   : "cannot be read: " + FetchProblemText(read);
        const std::string line = file + ": " + why;
        out.Message(line, {{"event", "failed"}, {"reason", "catalogue-refused"}, {"message", line},
                           {"exitCode", kExitCatalogueRefused}});
        return kExitCatalogueRefused;
    }
    const Catalogue& catalogue = *parse.catalogue;
    nlohmann::json keys = nlohmann::json::array();
    const std::string signers = Signers(file, keys);
    const UtcSeconds now = WallClockNow();
    const std::int64_t daysLeft = DaysLeft(catalogue.expires, now);
    const bool alarm = daysLeft < options.warnDays;
    const std::string left = daysLeft < 0 ? "expired " + std::to_string(DaysLeft(now, catalogue.expires)) + " days ago"
                                          : std::to_string(daysLeft) + " days left";
    out.Data(file + ": " + catalogue.repository + " version " + std::to_string(catalogue.version) + ", " +
                 std::to_string(catalogue.packages.size()) + " packages, " + signers + "; published " +
                 UtcTimeText(catalogue.published) + ", expires " + UtcTimeText(catalogue.expires) + " (" + left +
                 ")" + (alarm ? ": publish a new one" : ""),
             {{"event", "catalogue-status"}, {"catalogue", file}, {"repository", catalogue.repository},
              {"catalogueVersion", catalogue.version}, {"packages", catalogue.packages.size()},
              {"signers", keys}, {"published", UtcTimeText(catalogue.published)},
              {"expires", UtcTimeText(catalogue.expires)}, {"daysLeft", daysLeft}, {"expiring", alarm}});
    return alarm ? kExitCatalogueExpiring : kExitDone;
}
