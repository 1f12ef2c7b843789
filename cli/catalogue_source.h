#pragma once
// The command line's side of the catalogue: a catalogue and its packages
// read from a local path or fetched from an http(s) URL, and the
// catalogue's signature judged by the keys of the build and --trust, and
// --allow-unsigned.
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/stop_signal.h"
#include "catalogue/catalogue.h"
#include "catalogue/catalogue_trust.h"
#include "catalogue/fetcher.h"
#include "catalogue/key_chain.h"
#include "catalogue/trust_store.h"

// The platform's backends; a build without them has no catalogue commands.
struct CatalogueServices {
    IFetcher* fetcher = nullptr;
    const ISignatureVerifier* crypto = nullptr;
    ITrustStore* memory = nullptr;  // none: judged by the build's floors alone
};

// One run's fetching: the stop that ends it and how long a stall may last
// (each fetch's deadline follows from it and the bytes the fetch may bring).
struct FetchContext {
    const StopSignal& stop;
    std::uint32_t stallTimeoutMs = kDefaultStallTimeoutMs;
};

// Reads location with at most maxBytes: a local file (a missing one
// is HttpStatus 404, as from a server) or, through the fetcher, a URL. A
// location with a scheme other than http(s) is BadScheme.
// received, when given, is told the bytes so far of a fetched body.
FetchResult FetchLocation(const CatalogueServices& services, const std::string& location, std::size_t maxBytes,
                          const FetchContext& context,
                          const std::function<void(std::size_t received)>& received = {});

// A program with root keys (the build's, or --trust-root's) judges the
// catalogue by the key chain published beside it (cli/key_chain_fetch.h).
struct KeyChainOptions {
    std::vector<std::string> rootFiles;  // --trust-root: replace the build's roots
    std::size_t rootThreshold = 0;       // --root-threshold
    std::optional<KeySet> remembered;    // a key set trusted before: the walk starts there
    std::optional<UtcSeconds> now;       // the time to judge expiry by; default the system clock
};

struct LoadedCatalogue {
    std::optional<Catalogue> catalogue;  // set when it may be used
    TrustVerdict trust;
    std::optional<KeyChainWalk> keyChain;  // with root keys: the key set it was judged by (final.version)
    KeyChainVerdict keyChainVerdict;
    Sha256Digest sha256{};  // of the catalogue's bytes
    std::string refusal;  // the cause in words, when catalogue is unset
    std::string reason;   // the JSON reason code, when catalogue is unset
};

// What a run trusts beside the build's keys: --trust's key files, and
// whether --allow-unsigned takes an unsigned catalogue.
struct TrustChoice {
    std::span<const std::string> keyFiles;
    UnsignedCatalogues unsignedOnes = UnsignedCatalogues::Refuse;
};

// The catalogue and location + ".sig", judged. Only a missing .sig (404)
// counts as none: one that cannot be read is a refusal of its own.
LoadedCatalogue LoadCatalogue(const CatalogueServices& services, const std::string& location,
                              const TrustChoice& trust, const FetchContext& context,
                              const KeyChainOptions& chain = {});

// The largest package a catalogue may list (packages are limited to 2 GiB;
// what a command line downloads into memory, to 256 MiB).
inline constexpr std::size_t kMaxDownloadBytes = 256u << 20;
// A signify file is two short lines.
inline constexpr std::size_t kMaxSignifyFileBytes = 4096;
