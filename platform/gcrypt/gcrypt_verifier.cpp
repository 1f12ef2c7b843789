#include "platform/gcrypt/gcrypt_verifier.h"

#include <algorithm>
#include <memory>

#include <gcrypt.h>

namespace {

constexpr const char* kMinimumVersion = "1.8.0";
constexpr std::size_t kHalf = 32;

struct SexpFree {
    void operator()(gcry_sexp_t s) const { gcry_sexp_release(s); }
};
using Sexp = std::unique_ptr<std::remove_pointer_t<gcry_sexp_t>, SexpFree>;

Sexp Build(const char* format, auto... args)
{
    gcry_sexp_t s = nullptr;
    if (gcry_sexp_build(&s, nullptr, format, args...) != 0)
        return nullptr;
    return Sexp(s);
}

Sexp Data(std::span<const std::uint8_t> message)
{
    return Build("(data(flags eddsa)(hash-algo sha512)(value %b))", static_cast<int>(message.size()),
                 message.data());
}

// r or s of a signature, right-aligned in its 32 bytes.
bool Half(gcry_sexp_t signature, const char* name, std::uint8_t* out)
{
    const Sexp token(gcry_sexp_find_token(signature, name, 0));
    if (!token)
        return false;
    std::size_t length = 0;
    const char* data = gcry_sexp_nth_data(token.get(), 1, &length);
    if (data == nullptr || length > kHalf)
        return false;
    std::fill(out, out + kHalf - length, 0);
    std::copy(data, data + length, out + kHalf - length);
    return true;
}

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
    const Sexp publicKey = Build("(public-key(ecc(curve Ed25519)(flags eddsa)(q %b)))",
                                 static_cast<int>(key.size()), key.data());
    const Sexp value = Build("(sig-val(eddsa(r %b)(s %b)))", static_cast<int>(kHalf), signature.data(),
                             static_cast<int>(kHalf), signature.data() + kHalf);
    const Sexp data = Data(message);
    return publicKey && value && data && gcry_pk_verify(value.get(), data.get(), publicKey.get()) == 0;
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
    const Sexp secretKey = Build("(private-key(ecc(curve Ed25519)(flags eddsa)(q %b)(d %b)))",
                                 static_cast<int>(key.size()), key.data(), static_cast<int>(seed.size()),
                                 seed.data());
    const Sexp data = Data(message);
    gcry_sexp_t signed_ = nullptr;
    if (!secretKey || !data || gcry_pk_sign(&signed_, data.get(), secretKey.get()) != 0)
        return std::nullopt;
    const Sexp result(signed_);
    Ed25519Signature signature{};
    if (!Half(result.get(), "r", signature.data()) || !Half(result.get(), "s", signature.data() + kHalf))
        return std::nullopt;
    return signature;
}
