#include "platform/gcrypt/ed25519.h"

#include <algorithm>
#include <initializer_list>

#include "platform/gcrypt/ed25519_group.h"
#include "platform/gcrypt/secret_bytes.h"
#include "platform/gcrypt/sha512_parts.h"

namespace {

constexpr std::size_t kHalf = kEd25519Bytes;

using Parts = std::initializer_list<std::span<const std::uint8_t>>;

// SHA-512 of the parts, read little-endian, mod L.
GcryptMpi HashModOrder(const Ed25519Group& group, Parts parts, bool secret)
{
    SecretBytes<kSha512Bytes> digest;
    if (!Sha512Parts(parts, digest.bytes))
        return nullptr;
    const GcryptMpi wide = MpiFromLittleEndian(digest.bytes, secret);
    GcryptMpi reduced(secret ? gcry_mpi_snew(0) : gcry_mpi_new(0));
    if (!wide || !reduced)
        return nullptr;
    gcry_mpi_mod(reduced.get(), wide.get(), group.Order());
    return reduced;
}

// The secret scalar a: the seed's hash, first half, clamped.
GcryptMpi SecretScalar(std::span<const std::uint8_t, kHalf> hashedSeed)
{
    SecretBytes<kHalf> clamped;
    std::copy(hashedSeed.begin(), hashedSeed.end(), clamped.bytes.begin());
    clamped.bytes[0] &= 0xf8;
    clamped.bytes[kHalf - 1] &= 0x7f;
    clamped.bytes[kHalf - 1] |= 0x40;
    return MpiFromLittleEndian(clamped.bytes, true);
}

}  // namespace

bool Ed25519Verify(const Ed25519PublicKey& key, std::span<const std::uint8_t> message,
                   const Ed25519Signature& signature)
{
    const auto group = Ed25519Group::Make();
    if (!group)
        return false;
    Ed25519Bytes r{};
    std::copy_n(signature.begin(), kHalf, r.begin());
    const GcryptMpi s = MpiFromLittleEndian(std::span(signature).subspan(kHalf), false);
    // S >= L would give one signature several encodings.
    if (!s || gcry_mpi_cmp(s.get(), group->Order()) >= 0)
        return false;
    const GcryptPoint a = group->Decode(key);
    const GcryptMpi k = HashModOrder(*group, {r, key, message}, false);
    if (!a || !k)
        return false;
    // [S]B - [k]A must encode as R: comparing encodings also refuses an R
    // that is not canonical or not on the curve.
    const GcryptPoint sB = group->TimesBase(s.get());
    const GcryptPoint kA = group->Times(k.get(), a.get());
    if (!sB || !kA)
        return false;
    const GcryptPoint expected = group->Minus(sB.get(), kA.get());
    return expected && group->Encode(expected.get()) == r;
}

std::optional<Ed25519Signature> Ed25519Sign(const Ed25519Seed& seed, const Ed25519PublicKey& key,
                                            std::span<const std::uint8_t> message)
{
    const auto group = Ed25519Group::Make();
    SecretBytes<kSha512Bytes> hashedSeed;
    if (!group || !Sha512Parts({seed}, hashedSeed.bytes))
        return std::nullopt;
    const std::span<const std::uint8_t, kSha512Bytes> h = hashedSeed.bytes;
    const GcryptMpi a = SecretScalar(h.first<kHalf>());
    const GcryptPoint aB = a ? group->TimesBase(a.get()) : nullptr;
    // A key file whose public half is not its seed's would sign what no
    // one can verify.
    if (!aB || group->Encode(aB.get()) != key)
        return std::nullopt;
    const GcryptMpi r = HashModOrder(*group, {h.last<kHalf>(), message}, true);
    const GcryptPoint rB = r ? group->TimesBase(r.get()) : nullptr;
    const auto encodedR = rB ? group->Encode(rB.get()) : std::nullopt;
    if (!encodedR)
        return std::nullopt;
    const GcryptMpi k = HashModOrder(*group, {*encodedR, key, message}, false);
    const GcryptMpi ka(gcry_mpi_snew(0));
    const GcryptMpi s(gcry_mpi_snew(0));
    if (!k || !ka || !s)
        return std::nullopt;
    gcry_mpi_mulm(ka.get(), k.get(), a.get(), group->Order());
    gcry_mpi_addm(s.get(), r.get(), ka.get(), group->Order());
    const auto encodedS = MpiToLittleEndian(s.get());
    if (!encodedS)
        return std::nullopt;
    Ed25519Signature signature{};
    std::copy(encodedR->begin(), encodedR->end(), signature.begin());
    std::copy(encodedS->begin(), encodedS->end(), signature.begin() + kHalf);
    return signature;
}
