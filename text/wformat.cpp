#include "text/wformat.h"

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
