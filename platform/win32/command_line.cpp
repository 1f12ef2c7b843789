#include "platform/win32/command_line.h"

#include "base/utf.h"
#include "platform/win32/windows_api.h"
#include <shellapi.h>

#include <string>
#include <string_view>

namespace {

constexpr std::wstring_view kSimulate = L"--simulate=";

// The option's value in ASCII; other characters never name a family.
std::string Ascii(std::wstring_view text)
{
    std::string ascii;
    for (wchar_t c : text)
        ascii.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return ascii;
}

}  // namespace

std::optional<DemoKind> SimulateOption(const wchar_t* commandLine)
{
    // An empty line would make CommandLineToArgvW report the program's path.
    if (!commandLine || !*commandLine)
        return std::nullopt;
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine, &count);
    if (!arguments)
        return std::nullopt;
    std::optional<DemoKind> kind;
    for (int i = 0; i < count; ++i) {
        const std::wstring_view argument = arguments[i];
        if (argument.substr(0, kSimulate.size()) == kSimulate)
            kind = ParseDemoKind(Ascii(argument.substr(kSimulate.size())));
    }
    LocalFree(arguments);
    return kind;
}

CatalogueOptions CatalogueOptionsOf(const wchar_t* commandLine)
{
    CatalogueOptions options;
    if (!commandLine || !*commandLine)
        return options;
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine, &count);
    if (!arguments)
        return options;
    for (int i = 0; i + 1 < count; ++i) {
        const std::wstring_view argument = arguments[i];
        const std::wstring_view value = arguments[i + 1];
        const std::string utf8 = Utf16ToUtf8(std::u16string(value.begin(), value.end()));
        if (argument == L"--catalogue")
            options.catalogue = utf8;
        else if (argument == L"--trust")
            options.trust.push_back(utf8);
        else
            continue;
        ++i;
    }
    LocalFree(arguments);
    return options;
}
