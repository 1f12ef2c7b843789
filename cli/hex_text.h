#pragma once
// Hexadecimal numbers in the command line's lines: upper case, no prefix.
#include <cstdint>
#include <span>
#include <string>

#include "catalogue/signify_format.h"

// At least digits digits, zero-padded (0: as many as the value needs).
std::string Hex(std::uint32_t value, int digits = 0);
// Bytes as two digits each, in order ("0A1B...").
std::string HexBytes(std::span<const std::uint8_t> bytes);
