#pragma once
// printf-style formatting into UTF-16 for the system's fixed message formats
// ("%s(ZudoVor V%0.2f)", "cur_devVersion 0x%x\n", ...). %s takes a UTF-16
// string; numeric conversions are rendered by the C library in the "C" locale
// so a decimal point is always '.'.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "base/utf.h"

using FormatArg = std::variant<std::u16string, std::int64_t, std::uint64_t, double>;

std::u16string FormatArgs(const char16_t* format, const std::vector<FormatArg>& args);

namespace wformat_detail {
inline FormatArg ToArg(const std::u16string& s) { return s; }
inline FormatArg ToArg(const char16_t* s) { return std::u16string(s); }
inline FormatArg ToArg(double v) { return v; }
inline FormatArg ToArg(std::int32_t v) { return std::int64_t{v}; }
inline FormatArg ToArg(std::int64_t v) { return v; }
inline FormatArg ToArg(std::uint32_t v) { return std::uint64_t{v}; }
inline FormatArg ToArg(std::uint64_t v) { return v; }
inline FormatArg ToArg(std::uint16_t v) { return std::uint64_t{v}; }
inline FormatArg ToArg(std::uint8_t v) { return std::uint64_t{v}; }
}  // namespace wformat_detail

template <typename... Args>
std::u16string WFormat(const char16_t* format, const Args&... args)
{
    return FormatArgs(format, {wformat_detail::ToArg(args)...});
}

