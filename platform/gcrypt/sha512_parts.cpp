#include "platform/gcrypt/sha512_parts.h"

#include <algorithm>

#include "platform/gcrypt/gcrypt_handles.h"

bool Sha512Parts(std::initializer_list<std::span<const std::uint8_t>> parts,
                 std::span<std::uint8_t, kSha512Bytes> digest)
{
    gcry_md_hd_t opened = nullptr;
    if (gcry_md_open(&opened, GCRY_MD_SHA512, 0) != 0)
        return false;
    const GcryptHash hash(opened);
    for (const auto part : parts)
        gcry_md_write(hash.get(), part.data(), part.size());
    const unsigned char* result = gcry_md_read(hash.get(), GCRY_MD_SHA512);
    if (result == nullptr)
        return false;
    std::copy(result, result + kSha512Bytes, digest.begin());
    return true;
}
