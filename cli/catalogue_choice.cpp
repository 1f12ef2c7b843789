#include "cli/catalogue_choice.h"
#include "cli/refusal_codes.h"

#include <algorithm>

namespace {

struct Candidate {
    std::size_t index;  // in the locations
    LoadedCatalogue loaded;
};

// The file name the mirrors hold the catalogue under: --catalogue's last segment.
std::string CatalogueFileName(const std::string& location)
{
    const std::string path = location.substr(0, location.find_first_of("?#"));
    return path.substr(path.find_last_of("/\\") + 1);
}

std::string Version(const Catalogue& catalogue) { return "version " + std::to_string(catalogue.version); }

// Why a trusted catalogue was not judged beside the chosen one; empty when
// it is the chosen one's bytes.
std::string BesideChosen(const Candidate& other, const Candidate& chosen, const std::string& chosenAt)
{
    const Catalogue& a = *other.loaded.catalogue;
    const Catalogue& b = *chosen.loaded.catalogue;
    if (other.loaded.sha256 == chosen.loaded.sha256)
        return {};
    if (a.version == b.version)
        return "serves other contents as the " + Version(b) + " of " + chosenAt;
    return "serves " + Version(a) + ", older than the " + Version(b) + " of " + chosenAt;
}

}  // namespace

std::vector<std::string> CatalogueLocations(const CliOptions& options)
{
    std::vector<std::string> locations{options.catalogue};
    const std::string name = CatalogueFileName(options.catalogue);
    for (std::string mirror : options.mirrors) {
        while (!mirror.empty() && (mirror.back() == '/' || mirror.back() == '\\'))
            mirror.pop_back();
        locations.push_back(mirror + "/" + name);
    }
    return locations;
}

CatalogueChoice ChooseCatalogue(const CatalogueServices& services, const CliOptions& options,
                                const FetchContext& context, const CatalogueJudge& judge)
{
    const std::vector<std::string> locations = CatalogueLocations(options);
    const TrustChoice trust{options.trust,
                            options.allowUnsigned ? UnsignedCatalogues::Allow : UnsignedCatalogues::Refuse};
    const KeyChainOptions chain{options.trustRoots, options.rootThreshold, std::nullopt, std::nullopt};
    CatalogueChoice choice;
    std::vector<Candidate> trusted;
    const auto skip = [&](std::size_t i, std::string reason, std::string line, const LoadedCatalogue* served) {
        choice.skipped.push_back({locations[i], i > 0, std::move(reason), std::move(line),
                                  served != nullptr ? served->catalogue : std::nullopt});
    };
    for (std::size_t i = 0; i < locations.size(); ++i) {
        LoadedCatalogue loaded = LoadCatalogue(services, locations[i], trust, context, chain);
        if (loaded.reason == kReasonInterrupted) {
            choice.interrupted = true;
            choice.chosen = std::move(loaded);
            return choice;
        }
        if (!loaded.catalogue)
            skip(i, loaded.reason, loaded.refusal, nullptr);
        else
            trusted.push_back({i, std::move(loaded)});
    }
    choice.anyLoaded = !trusted.empty();
    // Versions compare within one repository: that of the first location served.
    const std::string repository = trusted.empty() ? std::string() : trusted.front().loaded.catalogue->repository;
    // Sorted by pointer: moving the candidates themselves trips GCC's
    // optimiser into a false "may be used uninitialized" on the catalogue.
    std::vector<Candidate*> newestFirst;
    for (Candidate& c : trusted)
        newestFirst.push_back(&c);
    std::stable_sort(newestFirst.begin(), newestFirst.end(), [](const Candidate* a, const Candidate* b) {
        return a->loaded.catalogue->version > b->loaded.catalogue->version;
    });
    Candidate* chosen = nullptr;
    for (Candidate* candidate : newestFirst) {
        Candidate& c = *candidate;
        const std::string& at = locations[c.index];
        if (c.loaded.catalogue->repository != repository) {
            skip(c.index, "catalogue-refused", at + ": serves the repository " + c.loaded.catalogue->repository +
                                                   ", not " + repository, &c.loaded);
        } else if (chosen != nullptr) {
            if (std::string why = BesideChosen(c, *chosen, locations[chosen->index]); !why.empty())
                skip(c.index, kReasonCatalogueOlder, at + ": " + why, &c.loaded);
        } else {
            CliOptions here = options;
            here.catalogue = at;
            if (const auto refusal = judge(here, c.loaded))
                skip(c.index, refusal->reason, refusal->line, &c.loaded);
            else
                chosen = &c;
        }
    }
    std::stable_sort(choice.skipped.begin(), choice.skipped.end(), [&](const CatalogueSkip& a, const CatalogueSkip& b) {
        return std::find(locations.begin(), locations.end(), a.location) <
               std::find(locations.begin(), locations.end(), b.location);
    });
    if (chosen != nullptr) {
        choice.location = locations[chosen->index];
        choice.chosen = std::move(chosen->loaded);
    }
    return choice;
}

std::string SkipText(const CatalogueSkip& skip)
{
    const std::string prefix = skip.location + ": ";
    const bool prefixed = skip.line.compare(0, prefix.size(), prefix) == 0;
    return (skip.mirror ? "mirror " : "") + skip.location + " skipped: " +
           (prefixed ? skip.line.substr(prefix.size()) : skip.line);
}
