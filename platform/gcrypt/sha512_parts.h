#pragma once
// SHA-512 over several pieces in turn, streamed: Ed25519 hashes the
// whole message without copying it next to anything.
#include <cstdint>
#include <initializer_list>
#include <span>

inline constexpr std::size_t kSha512Bytes = 64;

// False when libgcrypt cannot open the hash.
bool Sha512Parts(std::initializer_list<std::span<const std::uint8_t>> parts,
                 std::span<std::uint8_t, kSha512Bytes> digest);
