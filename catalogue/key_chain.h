#pragma once
// The chain of key sets: from the last key set a program trusts (the build's
// root keys at first, version 0), each next N.keys.json is taken only when
// a threshold of the previous root keys and a threshold of its own new root
// keys signed it. The walk stops at the first missing version; the key set
// it ends on must be unexpired, the ones passed on the way need not be.
// Leaving a key out of the next key set revokes it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "catalogue/freshness_state.h"
#include "catalogue/key_set.h"
#include "catalogue/signature_set.h"

// Steps one run takes; a longer chain goes on in the next run, from where
// this one ended (kept by the caller).
inline constexpr std::size_t kMaxKeyChainSteps = 64;

struct KeyChainLink {
    std::string keys;
    std::optional<std::string> signature;  // nullopt: no .sig
};

enum class LinkFetch { Found, Missing, Failed };

class IKeyChainSource {
public:
    virtual ~IKeyChainSource() = default;
    // version's key set and its .sig. Missing: no such key set is published;
    // Failed: it could not be read (the walk is refused, not cut short).
    virtual LinkFetch Fetch(std::uint64_t version, KeyChainLink& link) = 0;
};

enum class KeyChainProblem {
    None,
    Unreachable,       // a key set could not be read
    NoSignature,       // a key set or the catalogue without a .sig
    BadSignatureFile,  // a .sig that is not signify signatures, or too large
    BadKeySet,         // keySetProblem says why
    WrongVersion,      // N.keys.json says another version
    OldRootsShort,     // too few of the previous root keys signed it
    NewRootsShort,     // too few of its own root keys signed it
    NoKeySet,          // nothing published yet: no catalogue key to check with
    Expired,           // the key set the walk ended on
    CatalogueShort,    // too few catalogue keys signed the catalogue
    RevokedKey,        // ... and one that did was left out of a later key set
};

struct KeyChainVerdict {
    KeyChainProblem problem = KeyChainProblem::None;
    KeySetProblem keySetProblem = KeySetProblem::None;
    std::uint64_t version = 0;  // the key set concerned
    std::size_t valid = 0, needed = 0;  // with the *Short problems and RevokedKey
    bool ofCatalogue = false;  // NoSignature and BadSignatureFile: the catalogue's, not the key set's
};

struct KeyChainWalk {
    KeyChainVerdict verdict;
    KeySet final;           // the last key set trusted
    std::string finalText;  // its bytes, when the walk took a step (for the caller to keep)
    std::vector<SignifyKeyNumber> revoked;  // catalogue keys of the sets passed that the final one leaves out
    bool limited = false;   // the chain goes on past kMaxKeyChainSteps
    std::string anchor;     // KeyChainAnchor of the roots it began from; set by the caller
};

// The build's root keys (UPDATER_ROOT_KEYS, UPDATER_ROOT_THRESHOLD) as the
// version 0 key set; no roots: an empty role.
KeySet BuiltInRootKeySet();

// Names a set of root keys in the state: "2-<key number hex>-...", their
// threshold and signify key numbers (no cryptography: the page has none
// that answers at once).
std::string KeyChainAnchor(const KeySet& roots);
// Where a walk from roots begins: the key set remembered for anchor, when
// it is one, or the roots themselves.
KeySet KeyChainStart(const FreshnessState& state, const std::string& anchor, const KeySet& roots);
// After a catalogue is accepted: the key set the walk took a step to is
// the next start (when small enough to keep; see kMaxRememberedKeySetBytes).
void RememberKeyChain(FreshnessState& state, const KeyChainWalk& walk);

KeyChainWalk WalkKeyChain(const KeySet& start, IKeyChainSource& source, UtcSeconds now,
                          const ISignatureVerifier& crypto);

// The catalogue against the walk's final key set: a threshold of its
// catalogue keys. signature is the .sig's text, nullopt when there is none.
KeyChainVerdict CheckCatalogueKeys(std::span<const std::uint8_t> catalogue, const std::optional<std::string>& signature,
                                   const KeyChainWalk& walk, const ISignatureVerifier& crypto);

// Words for a user: "key set 3 is signed by 1 of the 2 previous root keys it needs".
std::string KeyChainText(const KeyChainVerdict& verdict);
