#pragma once
// A key set: the numbered N.keys.json published in keys/ beside the
// catalogue. It names the root keys that sign the next key set and the
// catalogue keys that sign catalogues, each with how many of them must sign.
// It shares the catalogue's format number, so either reader, given the
// other's file, refuses it by its type.
//
//   {"format": 2, "type": "keys", "version": 3, "expires": "2027-12-01T00:00:00Z",
//    "root": {"threshold": 2, "keys": ["RWQ...", "RWS...", "RWT..."]},
//    "catalogue": {"threshold": 1, "keys": ["RWR..."]}}
//
// A key is the second line of its signify public key file.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/signify_format.h"
#include "catalogue/utc_time.h"

inline constexpr const char* kKeySetType = "keys";
// Checked before parsing.
inline constexpr std::size_t kMaxKeySetBytes = 64u << 10;
inline constexpr std::size_t kMaxKeysPerRole = 16;
// 2 of 3 root keys, kept offline, is the usual setup.
inline constexpr std::size_t kDefaultRootThreshold = 2;

struct KeyRole {
    std::vector<SignifyPublicKey> keys;  // distinct numbers and keys
    std::size_t threshold = 0;           // 1 ... keys.size()
};

struct KeySet {
    std::uint64_t version = 0;  // 0: the build's roots, before any published set
    UtcSeconds expires = 0;
    KeyRole root;
    KeyRole catalogue;
};

enum class KeySetProblem {
    None,
    TooLarge,
    Malformed,      // not JSON, or a field missing or of the wrong kind
    UnknownFormat,
    WrongType,      // another kind of file (a catalogue, ...)
    BadKeys,        // a key that is not one, given twice, or too many
    BadThreshold,   // 0, or more than the keys listed
};

struct KeySetParse {
    std::optional<KeySet> keySet;  // set exactly when problem is None
    KeySetProblem problem = KeySetProblem::None;
};

KeySetParse ParseKeySet(std::string_view text);
std::string KeySetJson(const KeySet& keySet);
// Words for a user: "the key set is not valid JSON".
std::string KeySetProblemText(KeySetProblem problem);
// "3.keys.json": the file name of a key set.
std::string KeySetFileName(std::uint64_t version);
// Whether a role is one ParseKeySet would accept.
bool RoleSound(const KeyRole& role);

// The second line of a signify public key file, and back.
std::string SignifyKeyLine(const SignifyPublicKey& key);
std::optional<SignifyPublicKey> ParseSignifyKeyLine(std::string_view line);
