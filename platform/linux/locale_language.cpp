#include "platform/linux/locale_language.h"

#include <cstdlib>
#include <string_view>
#include <utility>

namespace {

// The message locale as the C library resolves it: the first of these that
// is set and non-empty.
constexpr const char* kLocaleVariables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};

// language[_territory][.codeset][@modifier]: only the PRC territory counts,
// so zh_TW and zh_HK stay English like any other language.
bool IsChinesePrc(std::string_view locale)
{
    constexpr std::string_view kPrefix = "zh_CN";
    if (!locale.starts_with(kPrefix)) return false;
    return locale.size() == kPrefix.size() || locale[kPrefix.size()] == '.' ||
           locale[kPrefix.size()] == '@';
}

}  // namespace

LocaleUiLanguage::LocaleUiLanguage(EnvLookup lookup) : lookup_(std::move(lookup)) {}

LocaleUiLanguage::EnvLookup LocaleUiLanguage::DefaultLookup()
{
    return [](const char* name) -> const char* { return std::getenv(name); };
}

std::uint16_t LocaleUiLanguage::UserDefaultUILanguage()
{
    for (const char* name : kLocaleVariables) {
        const char* value = lookup_ ? lookup_(name) : nullptr;
        if (value && *value) return IsChinesePrc(value) ? kLangZhCn : kLangEnUs;
    }
    return kLangEnUs;
}
