#pragma once
// The catalogue from --catalogue or one of its --mirror locations: each is
// loaded and judged by the same rules, the newest one accepted is used, and
// every other location is named with why it was not.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/catalogue_freshness_step.h"
#include "cli/catalogue_source.h"
#include "cli/cli_options.h"

// --catalogue, then each --mirror: a folder or base URL holding the same
// files under the same names.
std::vector<std::string> CatalogueLocations(const CliOptions& options);

// A location that was not used, and why.
struct CatalogueSkip {
    std::string location;
    bool mirror = false;
    std::string reason;  // the JSON reason code
    std::string line;    // "LOCATION: cause"; empty when not worth saying
    std::optional<Catalogue> catalogue;  // the one it served, when it was read
};

struct CatalogueChoice {
    std::optional<std::string> location;  // of the chosen one
    LoadedCatalogue chosen;                // its catalogue set when one was chosen
    std::vector<CatalogueSkip> skipped;   // in the order of the locations
    bool anyLoaded = false;               // some location served a trusted catalogue
    bool interrupted = false;
};

// The last word on a trusted catalogue: nullopt takes it (and remembers it).
// at is options with at.catalogue the location judged.
using CatalogueJudge = std::function<std::optional<FreshnessRefusal>(const CliOptions& at, const LoadedCatalogue&)>;

// Loads each location; the trusted ones of the first one's repository are
// judged newest first until judge takes one.
CatalogueChoice ChooseCatalogue(const CatalogueServices& services, const CliOptions& options,
                                const FetchContext& context, const CatalogueJudge& judge);

// "mirror URL skipped: cause".
std::string SkipText(const CatalogueSkip& skip);
