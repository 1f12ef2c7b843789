#pragma once
// The command line's side of catalogue freshness: the remembered state
// loaded from the platform's store, the catalogue judged against it and the
// build's floors, warnings and refusals reported, the new state stored.
#include "catalogue/catalogue.h"
#include "cli/catalogue_source.h"
#include "cli/cli_options.h"
#include "cli/event_output.h"

struct FreshnessRefusal {
    std::string reason;  // the JSON reason code
    std::string line;    // "LOCATION: older than ...", with what --offline cannot do
};

// The refusal, unreported, or nullopt when the catalogue was accepted and
// remembered (warnings are reported). A refusal leaves the store untouched.
// keyChain: the key sets walked, with root keys; a new key set after a
// revoked catalogue key starts the repository's version memory over.
std::optional<FreshnessRefusal> JudgeAndRemember(const CatalogueServices& services, const CliOptions& options,
                                                 const Catalogue& catalogue, const Sha256Digest& sha256,
                                                 const std::optional<KeyChainWalk>& keyChain, EventOutput& out);

// The header fields every catalogue event carries.
void AddCatalogueHeader(nlohmann::json& event, const Catalogue& catalogue);
