#pragma once
// The cryptography the catalogue needs, behind one interface so that no
// front end decides on its own what "signed" means: one backend per
// platform (libgcrypt natively, WebCrypto in the page).
//
// Threads: any thread; a backend keeps no state between calls. Every call
// is a computation over its arguments and returns without waiting.
#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "catalogue/catalogue.h"

using Ed25519PublicKey = std::array<std::uint8_t, 32>;
using Ed25519Seed = std::array<std::uint8_t, 32>;
using Ed25519Signature = std::array<std::uint8_t, 64>;

class ISignatureVerifier {
public:
    virtual ~ISignatureVerifier() = default;
    // True only for a valid signature of message by key (RFC 8032, no pre-hash).
    virtual bool VerifyEd25519(const Ed25519PublicKey& key, std::span<const std::uint8_t> message,
                               const Ed25519Signature& signature) const = 0;
    virtual Sha256Digest Sha256(std::span<const std::uint8_t> bytes) const = 0;
    // Signing is for `catalogue sign`; a backend without it returns nullopt.
    virtual std::optional<Ed25519Signature> SignEd25519(const Ed25519Seed& seed, const Ed25519PublicKey& key,
                                                        std::span<const std::uint8_t> message) const = 0;
};
