#pragma once
// The key chain as a catalogue publishes it: keys/N.keys.json and
// keys/N.keys.json.sig in the catalogue's folder, read like the catalogue.
#include <string>

#include "catalogue/key_chain.h"
#include "cli/catalogue_source.h"

// The folder of the key sets, beside the catalogue.
inline constexpr const char* kKeySetFolder = "keys/";

// The walk from start over the key sets beside catalogueLocation. A key set
// is missing when it answers 404 or 410 (a local file: when it is not there);
// any other failure refuses the walk.
KeyChainWalk FetchKeyChain(const CatalogueServices& services, const std::string& catalogueLocation,
                           const KeySet& start, UtcSeconds now, const FetchContext& context);

UtcSeconds SystemUtcNow();
