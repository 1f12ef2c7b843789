#pragma once
// UTF-16 strings of the core as the wide strings of the Windows API. On
// Windows wchar_t is a 16-bit UTF-16 code unit, so the data is shared as is.
#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16");

inline const wchar_t* WidePtr(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline std::u16string FromWide(const wchar_t* text, std::size_t length)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

inline std::u16string FromWide(const wchar_t* text)
{
    return FromWide(text, std::char_traits<wchar_t>::length(text));
}
