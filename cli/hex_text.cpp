#include "cli/hex_text.h"

#include <cstdio>

std::string Hex(std::uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
    return text;
}

std::string KeyNumberText(const SignifyKeyNumber& number)
{
    std::string text;
    for (std::uint8_t b : number)
        text += Hex(b, 2);
    return text;
}
