#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "platform/linux/locale_language.h"

namespace {

struct EnvCase {
    const char* lc_all;
    const char* lc_messages;
    const char* lang;
    std::uint16_t expected;
};

const EnvCase kCases[] = {
    {nullptr, nullptr, "zh_CN.UTF-8", 2052},
    {nullptr, nullptr, "zh_CN.GB18030", 2052},
    {nullptr, nullptr, "zh_CN", 2052},
    {nullptr, nullptr, "zh_CN@stroke", 2052},
    {nullptr, nullptr, "zh_TW.UTF-8", 1033},
    {nullptr, nullptr, "zh_HK.UTF-8", 1033},
    {nullptr, nullptr, "zh", 1033},
    {nullptr, nullptr, "zh_CNX", 1033},
    {nullptr, nullptr, "en_US.UTF-8", 1033},
    {nullptr, nullptr, "de_DE.UTF-8", 1033},
    {nullptr, nullptr, "C", 1033},
    {nullptr, nullptr, "POSIX", 1033},
    {nullptr, nullptr, "", 1033},
    {nullptr, nullptr, nullptr, 1033},
    // LC_ALL overrides LC_MESSAGES, which overrides LANG.
    {"en_US.UTF-8", "zh_CN.UTF-8", "zh_CN.UTF-8", 1033},
    {"zh_CN.UTF-8", "en_US.UTF-8", "en_US.UTF-8", 2052},
    {nullptr, "zh_CN.UTF-8", "en_US.UTF-8", 2052},
    {nullptr, "C", "zh_CN.UTF-8", 1033},
    // An empty value counts as unset.
    {"", "", "zh_CN.UTF-8", 2052},
    {"", "zh_CN.UTF-8", "C", 2052},
};

TEST(LocaleUiLanguageTest, FirstNonEmptyLocaleVariableDecides)
{
    for (const EnvCase& c : kCases) {
        std::map<std::string, const char*> env{
            {"LC_ALL", c.lc_all}, {"LC_MESSAGES", c.lc_messages}, {"LANG", c.lang}};
        LocaleUiLanguage language([&env](const char* name) { return env[name]; });
        SCOPED_TRACE(testing::Message() << (c.lc_all ? c.lc_all : "(unset)") << " / "
                                        << (c.lc_messages ? c.lc_messages : "(unset)") << " / "
                                        << (c.lang ? c.lang : "(unset)"));
        EXPECT_EQ(language.UserDefaultUILanguage(), c.expected);
    }
}

TEST(LocaleUiLanguageTest, ReadsTheEnvironmentAtEveryCall)
{
    const char* lang = "en_US.UTF-8";
    LocaleUiLanguage language([&lang](const char* name) {
        return std::string(name) == "LANG" ? lang : nullptr;
    });
    EXPECT_EQ(language.UserDefaultUILanguage(), 1033);
    lang = "zh_CN.UTF-8";
    EXPECT_EQ(language.UserDefaultUILanguage(), 2052);
}

TEST(LocaleUiLanguageTest, DefaultReadsTheProcessEnvironment)
{
    const char* saved = std::getenv("LC_ALL");
    const std::string previous = saved ? saved : "";
    ::setenv("LC_ALL", "zh_CN.UTF-8", 1);
    LocaleUiLanguage language;
    EXPECT_EQ(language.UserDefaultUILanguage(), 2052);
    ::setenv("LC_ALL", "zh_TW.UTF-8", 1);
    EXPECT_EQ(language.UserDefaultUILanguage(), 1033);
    if (saved) ::setenv("LC_ALL", previous.c_str(), 1);
    else ::unsetenv("LC_ALL");
}

}  // namespace
