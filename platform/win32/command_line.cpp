#include "platform/win32/command_line.h"

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
