#pragma once
// Whether a catalogue is the one a trusted maintainer signed. With keys,
// only a valid signature by one of them passes. An unsigned catalogue (no
// key trusted, or no .sig) is refused unless the user allowed unsigned ones;
// a signature that is there is never excused.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/signify_format.h"

enum class CatalogueTrust {
    Signed,          // a trusted key signed these bytes
    Unsigned,        // unsigned ones allowed, and no key or no .sig: accepted, shown as unsigned
    NoTrustedKey,    // no key is trusted, and unsigned ones are not allowed
    NoSignature,     // keys are trusted but there is no .sig
    BadSignatureFile,  // the .sig is not a signify signature (cut short, ...)
    UntrustedKey,    // signed by a key that is not trusted
    BadSignature,    // the trusted key did not sign these bytes
};

struct TrustVerdict {
    CatalogueTrust trust = CatalogueTrust::Unsigned;
    SignifyKeyNumber key{};  // with Signed
    bool Accepted() const { return trust == CatalogueTrust::Signed || trust == CatalogueTrust::Unsigned; }
};

// Allow: the user chose to take an unsigned catalogue (--allow-unsigned, or
// the page's build option).
enum class UnsignedCatalogues { Refuse, Allow };

// signature is the .sig file's text, nullopt when there is none.
TrustVerdict CheckCatalogueSignature(std::span<const std::uint8_t> catalogue,
                                     const std::optional<std::string>& signature,
                                     std::span<const SignifyPublicKey> trusted, const ISignatureVerifier& crypto,
                                     UnsignedCatalogues unsignedOnes);

// Words for a user: "the catalogue's signature is not from a trusted key".
std::string CatalogueTrustText(CatalogueTrust trust);

// The keys of the build (the UPDATER_TRUSTED_KEYS option), parsed.
std::vector<SignifyPublicKey> BuiltInTrustedKeys();
