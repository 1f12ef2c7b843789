#include "platform/gcrypt/mpi_bytes.h"

#include <algorithm>

#include "platform/gcrypt/secret_bytes.h"

namespace {

constexpr std::size_t kMaxBytes = 64;

}  // namespace

GcryptMpi MpiFromLittleEndian(std::span<const std::uint8_t> bytes, bool secret)
{
    if (bytes.empty() || bytes.size() > kMaxBytes)
        return nullptr;
    SecretBytes<kMaxBytes> bigEndian;
    std::reverse_copy(bytes.begin(), bytes.end(), bigEndian.bytes.begin());
    gcry_mpi_t scanned = nullptr;
    if (gcry_mpi_scan(&scanned, GCRYMPI_FMT_USG, bigEndian.bytes.data(), bytes.size(), nullptr) != 0)
        return nullptr;
    GcryptMpi n(scanned);
    if (secret)
        gcry_mpi_set_flag(n.get(), GCRYMPI_FLAG_SECURE);
    return n;
}

std::optional<Ed25519Bytes> MpiToLittleEndian(gcry_mpi_t n)
{
    Ed25519Bytes bytes{};
    std::size_t written = 0;
    if (gcry_mpi_print(GCRYMPI_FMT_USG, bytes.data(), bytes.size(), &written, n) != 0)
        return std::nullopt;
    std::reverse(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(written));
    return bytes;
}
