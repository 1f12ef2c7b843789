#include "platform/gcrypt/gcrypt_verifier.h"

#include <gcrypt.h>

#include "platform/gcrypt/ed25519.h"

namespace {

constexpr const char* kMinimumVersion = "1.8.0";

}  // namespace

GcryptVerifier::GcryptVerifier()
{
    // Safe to repeat: later calls only compare the version.
    if (!gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) {
        gcry_check_version(kMinimumVersion);
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    }
}

bool GcryptVerifier::VerifyEd25519(const Ed25519PublicKey& key, std::span<const std::uint8_t> message,
                                   const Ed25519Signature& signature) const
{
    return Ed25519Verify(key, message, signature);
}

Sha256Digest GcryptVerifier::Sha256(std::span<const std::uint8_t> bytes) const
{
    Sha256Digest digest{};
    gcry_md_hash_buffer(GCRY_MD_SHA256, digest.data(), bytes.data(), bytes.size());
    return digest;
}

std::optional<Ed25519Signature> GcryptVerifier::SignEd25519(const Ed25519Seed& seed, const Ed25519PublicKey& key,
                                                            std::span<const std::uint8_t> message) const
{
    return Ed25519Sign(seed, key, message);
}
