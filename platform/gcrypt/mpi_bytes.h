#pragma once
// libgcrypt's numbers to and from the little-endian bytes Ed25519 writes
// its scalars and coordinates in.
#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/gcrypt/gcrypt_handles.h"

inline constexpr std::size_t kEd25519Bytes = 32;
using Ed25519Bytes = std::array<std::uint8_t, kEd25519Bytes>;

// The number the bytes (at most 64) spell; null when libgcrypt refuses.
// A secret one lives in libgcrypt's secure numbers, which also makes the
// curve arithmetic multiply by it in constant time.
GcryptMpi MpiFromLittleEndian(std::span<const std::uint8_t> bytes, bool secret);
// n as 32 bytes; empty when it does not fit.
std::optional<Ed25519Bytes> MpiToLittleEndian(gcry_mpi_t n);
