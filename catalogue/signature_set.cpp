#include "catalogue/signature_set.h"

#include <algorithm>

namespace {

// The end of the next complete line at or after from, npos when none.
std::size_t LineEnd(std::string_view text, std::size_t from)
{
    return from < text.size() ? text.find('\n', from) : std::string_view::npos;
}

}  // namespace

std::optional<std::vector<std::string_view>> SignatureBlocks(std::string_view text)
{
    if (text.size() > kMaxSignatureFileBytes)
        return std::nullopt;
    std::vector<std::string_view> blocks;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t first = LineEnd(text, at);
        const std::size_t second = first == std::string_view::npos ? first : LineEnd(text, first + 1);
        if (second == std::string_view::npos || !ParseSignifySignature(text.substr(at, second + 1 - at)))
            return std::nullopt;
        blocks.push_back(text.substr(at, second + 1 - at));
        at = second + 1;
    }
    if (blocks.empty())
        return std::nullopt;
    return blocks;
}

std::optional<std::vector<SignifySignature>> ParseSignatureSet(std::string_view text)
{
    const auto blocks = SignatureBlocks(text);
    if (!blocks)
        return std::nullopt;
    std::vector<SignifySignature> signatures;
    for (std::string_view block : *blocks)
        signatures.push_back(*ParseSignifySignature(block));
    return signatures;
}

SignatureCount CountSignatures(std::span<const std::uint8_t> bytes, std::span<const SignifySignature> signatures,
                               const KeyRole& role, std::span<const SignifyKeyNumber> revoked,
                               const ISignatureVerifier& crypto)
{
    SignatureCount count;
    std::vector<bool> signedBy(role.keys.size(), false);
    for (const SignifySignature& s : signatures) {
        const auto key = std::find_if(role.keys.begin(), role.keys.end(),
                                      [&](const SignifyPublicKey& k) { return k.number == s.number; });
        if (key == role.keys.end()) {
            count.revokedSigner |= std::find(revoked.begin(), revoked.end(), s.number) != revoked.end();
            continue;
        }
        const std::size_t index = static_cast<std::size_t>(key - role.keys.begin());
        if (!signedBy[index] && crypto.VerifyEd25519(key->key, bytes, s.signature))
            signedBy[index] = true;
    }
    count.valid = static_cast<std::size_t>(std::count(signedBy.begin(), signedBy.end(), true));
    return count;
}
