#pragma once
// signify's key and signature files, so a maintainer can sign a catalogue
// with `signify -S`: two lines, "untrusted comment: ..." and the base64 of
// "Ed", an 8-byte key number and the 32-byte key or 64-byte signature.
// Secret keys are read only when unencrypted (`signify -G -n`).
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/signature_verifier.h"

using SignifyKeyNumber = std::array<std::uint8_t, 8>;

struct SignifyPublicKey {
    SignifyKeyNumber number{};
    Ed25519PublicKey key{};
};

struct SignifySignature {
    SignifyKeyNumber number{};
    Ed25519Signature signature{};
};

struct SignifySecretKey {
    SignifyKeyNumber number{};
    Ed25519Seed seed{};
    Ed25519PublicKey key{};
};

std::optional<SignifyPublicKey> ParseSignifyPublicKey(std::string_view text);
std::optional<SignifySignature> ParseSignifySignature(std::string_view text);
// nullopt also for a key protected by a passphrase.
std::optional<SignifySecretKey> ParseSignifySecretKey(std::string_view text);

std::string FormatSignifySignature(const SignifySignature& signature, std::string_view comment);
std::string FormatSignifyPublicKey(const SignifyPublicKey& key, std::string_view comment);
