#pragma once
// A .sig holding several signify signatures, one per signer: their two-line
// files one after another. `split -l 2 FILE.sig part.` gives files that
// `signify -V -x part.aa ...` checks one by one.
//
// A threshold is met by that many distinct keys of a role, each with a
// valid signature over exactly the bytes; a key that signs twice counts once.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/key_set.h"

// Checked before parsing: room for a few dozen signatures.
inline constexpr std::size_t kMaxSignatureFileBytes = 16u << 10;

// nullopt when any block is not a signify signature, or there is none.
std::optional<std::vector<SignifySignature>> ParseSignatureSet(std::string_view text);
// The same blocks as text, each two lines, so a signer can keep the others'.
std::optional<std::vector<std::string_view>> SignatureBlocks(std::string_view text);

struct SignatureCount {
    std::size_t valid = 0;   // distinct keys of the role with a valid signature
    bool revokedSigner = false;  // a signature names a key of revoked
};

SignatureCount CountSignatures(std::span<const std::uint8_t> bytes, std::span<const SignifySignature> signatures,
                               const KeyRole& role, std::span<const SignifyKeyNumber> revoked,
                               const ISignatureVerifier& crypto);
