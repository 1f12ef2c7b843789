#pragma once
// ISignatureVerifier over libgcrypt: Ed25519 (signify's signatures) and
// SHA-256. Initialises libgcrypt once, on the first construction.
#include "catalogue/signature_verifier.h"

class GcryptVerifier final : public ISignatureVerifier {
public:
    GcryptVerifier();
    bool VerifyEd25519(const Ed25519PublicKey& key, std::span<const std::uint8_t> message,
                       const Ed25519Signature& signature) const override;
    Sha256Digest Sha256(std::span<const std::uint8_t> bytes) const override;
    std::optional<Ed25519Signature> SignEd25519(const Ed25519Seed& seed, const Ed25519PublicKey& key,
                                                std::span<const std::uint8_t> message) const override;
};
