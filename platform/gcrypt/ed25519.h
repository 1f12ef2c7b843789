#pragma once
// Ed25519 as RFC 8032 defines it (no pre-hash, as signify signs), worked
// out over libgcrypt's hash, numbers and curve arithmetic: its public-key
// API takes the message inside an S-expression, whose 16-bit lengths make
// libgcrypt abort on messages past about 64 KiB. libgcrypt must have been
// initialised (GcryptVerifier does it).
#include "catalogue/signature_verifier.h"

bool Ed25519Verify(const Ed25519PublicKey& key, std::span<const std::uint8_t> message,
                   const Ed25519Signature& signature);
// Empty when key is not the seed's public key, or libgcrypt fails.
std::optional<Ed25519Signature> Ed25519Sign(const Ed25519Seed& seed, const Ed25519PublicKey& key,
                                            std::span<const std::uint8_t> message);
