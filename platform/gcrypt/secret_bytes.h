#pragma once
// Bytes of a secret (a hashed seed, a scalar) that are overwritten when
// they go out of scope, whichever path leaves.
#include <array>
#include <cstddef>
#include <cstdint>

template <std::size_t N>
struct SecretBytes {
    std::array<std::uint8_t, N> bytes{};

    SecretBytes() = default;
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
    ~SecretBytes()
    {
        // volatile: the stores must not be dropped as dead.
        volatile std::uint8_t* p = bytes.data();
        for (std::size_t i = 0; i < N; ++i)
            p[i] = 0;
    }
};
