#pragma once
// Hexadecimal numbers in the command line's lines: upper case, no prefix.
#include <cstdint>
#include <string>

#include "catalogue/signify_format.h"

// At least digits digits, zero-padded (0: as many as the value needs).
std::string Hex(std::uint32_t value, int digits = 0);

// A signify key number: 16 digits.
std::string KeyNumberText(const SignifyKeyNumber& number);
