#include "catalogue/catalogue_trust.h"

#include <algorithm>

#include "catalogue/built_in_keys.h"
#include "catalogue/signature_set.h"

TrustVerdict CheckCatalogueSignature(std::span<const std::uint8_t> catalogue,
                                     const std::optional<std::string>& signature,
                                     std::span<const SignifyPublicKey> trusted, const ISignatureVerifier& crypto,
                                     UnsignedCatalogues unsignedOnes)
{
    TrustVerdict verdict;
    const bool allowed = unsignedOnes == UnsignedCatalogues::Allow;
    // Without a key no signature can be checked: the catalogue counts as unsigned.
    if (trusted.empty()) {
        verdict.trust = allowed ? CatalogueTrust::Unsigned : CatalogueTrust::NoTrustedKey;
        return verdict;
    }
    if (!signature) {
        verdict.trust = allowed ? CatalogueTrust::Unsigned : CatalogueTrust::NoSignature;
        return verdict;
    }
    // One signature per signer may stand in the file (`catalogue sign` adds
    // its own beside the others'); one by a trusted key that holds is enough.
    const auto parsed = signature->size() <= kMaxSignatureFileBytes ? ParseSignatureSet(*signature) : std::nullopt;
    if (!parsed) {
        verdict.trust = CatalogueTrust::BadSignatureFile;
        return verdict;
    }
    verdict.trust = CatalogueTrust::UntrustedKey;
    for (const SignifySignature& block : *parsed) {
        const auto key = std::find_if(trusted.begin(), trusted.end(),
                                      [&](const SignifyPublicKey& k) { return k.number == block.number; });
        if (key == trusted.end())
            continue;
        verdict.key = block.number;
        if (crypto.VerifyEd25519(key->key, catalogue, block.signature)) {
            verdict.trust = CatalogueTrust::Signed;
            return verdict;
        }
        verdict.trust = CatalogueTrust::BadSignature;
    }
    return verdict;
}

std::string CatalogueTrustText(CatalogueTrust trust)
{
    switch (trust) {
    case CatalogueTrust::Signed:
        return "signed by a trusted key";
    case CatalogueTrust::Unsigned:
        return "unsigned";
    case CatalogueTrust::NoTrustedKey:
        return "no signing key is trusted, so the catalogue's signature cannot be checked";
    case CatalogueTrust::NoSignature:
        return "the catalogue is not signed, and this program trusts only signed catalogues";
    case CatalogueTrust::BadSignatureFile:
        return "the catalogue's signature file is not a signify signature (cut short or damaged)";
    case CatalogueTrust::UntrustedKey:
        return "the catalogue's signature is not from a trusted key";
    case CatalogueTrust::BadSignature:
        return "the catalogue's signature does not match its contents";
    }
    return {};
}

std::vector<SignifyPublicKey> BuiltInTrustedKeys()
{
    std::vector<SignifyPublicKey> keys;
    for (std::string_view text : kBuiltInKeyFiles)
        if (const auto key = ParseSignifyPublicKey(text))
            keys.push_back(*key);
    return keys;
}
