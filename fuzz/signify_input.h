#pragma once
// Input layout of the signify target: a flags byte, then texts separated by
// NUL bytes (which no signify file holds): the catalogue's bytes, its .sig,
// then public key files, the trusted keys being those that parse.
#include <cstdint>

inline constexpr char kSignifyTextSeparator = '\0';
// The verifier's answer to every signature it is asked about.
inline constexpr std::uint8_t kSignifyVerifierSaysYes = 1 << 0;
// The catalogue comes without a .sig: the second text is left unread.
inline constexpr std::uint8_t kSignifyNoSignature = 1 << 1;
// The user allowed unsigned catalogues.
inline constexpr std::uint8_t kSignifyAllowUnsigned = 1 << 2;
