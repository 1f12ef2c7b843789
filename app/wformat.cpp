#include "app/wformat.h"

#include <cstdio>
#include <cstring>

namespace {

bool IsConversion(char16_t c)
{
    return std::strchr("diuxXfFeEgGcs%", static_cast<int>(c)) != nullptr && c < 0x80;
}

std::u16string Widen(const char* text)
{
    std::u16string out;
    for (const char* p = text; *p; ++p)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*p)));
    return out;
}

// Renders one numeric conversion such as "%0.2f" or "%d" with the C library.
std::u16string RenderNumber(const std::string& directive, char conv, const FormatArg& arg)
{
    char buf[128] = {};
    const bool isFloat = std::strchr("fFeEgG", conv) != nullptr;
    if (isFloat) {
        double v = 0;
        if (auto d = std::get_if<double>(&arg)) v = *d;
        else if (auto i = std::get_if<std::int64_t>(&arg)) v = static_cast<double>(*i);
        else if (auto u = std::get_if<std::uint64_t>(&arg)) v = static_cast<double>(*u);
        std::snprintf(buf, sizeof buf, directive.c_str(), v);
    } else {
        std::uint64_t bits = 0;
        if (auto i = std::get_if<std::int64_t>(&arg)) bits = static_cast<std::uint64_t>(*i);
        else if (auto u = std::get_if<std::uint64_t>(&arg)) bits = *u;
        else if (auto d = std::get_if<double>(&arg)) bits = static_cast<std::uint64_t>(*d);
        // The system's formats use 32-bit int/unsigned arguments.
        if (conv == 'd' || conv == 'i' || conv == 'c')
            std::snprintf(buf, sizeof buf, directive.c_str(), static_cast<int>(static_cast<std::uint32_t>(bits)));
        else
            std::snprintf(buf, sizeof buf, directive.c_str(), static_cast<unsigned>(bits));
    }
    return Widen(buf);
}

}  // namespace

std::u16string FormatArgs(const char16_t* format, const std::vector<FormatArg>& args)
{
    std::u16string out;
    std::size_t next = 0;
    for (const char16_t* p = format; *p; ++p) {
        if (*p != u'%') {
            out.push_back(*p);
            continue;
        }
        std::string directive = "%";
        const char16_t* q = p + 1;
        while (*q && !IsConversion(*q))
            directive.push_back(static_cast<char>(*q++));
        if (!*q)
            break;
        const char conv = static_cast<char>(*q);
        directive.push_back(conv);
        p = q;
        if (conv == '%') {
            out.push_back(u'%');
            continue;
        }
        if (next >= args.size())
            continue;  // a missing argument renders as nothing
        const FormatArg& arg = args[next++];
        if (conv == 's') {
            if (auto s = std::get_if<std::u16string>(&arg))
                out += *s;
        } else {
            out += RenderNumber(directive, conv, arg);
        }
    }
    return out;
}

std::u16string Utf8ToUtf16(const std::string& utf8)
{
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        char32_t cp = 0;
        std::size_t len = 1;
        if (c < 0x80) cp = c;
        else if ((c >> 5) == 6) { cp = c & 0x1F; len = 2; }
        else if ((c >> 4) == 14) { cp = c & 0x0F; len = 3; }
        else if ((c >> 3) == 30) { cp = c & 0x07; len = 4; }
        else { cp = 0xFFFD; }
        if (i + len > utf8.size()) { cp = 0xFFFD; len = utf8.size() - i; }
        for (std::size_t k = 1; k < len && cp != 0xFFFD; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& utf16)
{
    std::string out;
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < utf16.size()) {
            char32_t lo = utf16[i + 1];
            if (lo >= 0xDC00 && lo < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            }
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}
