// The texts as the program loads them: from its own compiled string table
// through LoadStringW, in the language that GetUserDefaultUILanguage names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "text/text_table.h"
#include "platform/win32/win32_texts.h"
#include "support/fixed_language.h"

namespace {

// Installs the module's string table (and a language) for one test.
class ModuleTexts : public ::testing::Test {
protected:
    void SetUp() override { SetStringTable(&table); }
    void TearDown() override
    {
        SetStringTable(nullptr);
        SetUiLanguage(nullptr);
    }
    ModuleStringTable table{GetModuleHandleW(nullptr)};
};

std::vector<char16_t> Units(const std::u16string& text) { return {text.begin(), text.end()}; }

}  // namespace

TEST_F(ModuleTexts, EveryEntryEqualsTheTextTable)
{
    for (int i = 0; i < kTextCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        EXPECT_EQ(Units(table.LoadString(kChineseStringBase + i)), Units(std::u16string(TextTable[index].zh)))
            << "string " << kChineseStringBase + i;
        EXPECT_EQ(Units(table.LoadString(kEnglishStringBase + i)), Units(std::u16string(TextTable[index].en)))
            << "string " << kEnglishStringBase + i;
    }
}

// Written out as code units so that a wrong source code page in the resource
// compiler (UTF-8 bytes read as another code page) cannot go unnoticed.
TEST_F(ModuleTexts, ChineseEntriesAreTheRightCodeUnits)
{
    struct Expected {
        std::uint32_t id;
        std::vector<char16_t> units;
    };
    const Expected expected[] = {
        {133, {0x5347, 0x7EA7, 0x6210, 0x529F, 0x3002}},                          // 升级成功。
        {141, {u'U', u'S', u'B', u' ', 0x5347, 0x7EA7}},                          // USB 升级
        {146, {0x56FA, 0x4EF6, 0x4E0D, 0x5339, 0x914D, 0xFF01}},                  // 固件不匹配！
        {147, {0x56FA, 0x4EF6, 0x7248, 0x672C, u':', u' '}},                      // 固件版本: 
        {131, {0x6B63, 0x5728, 0x66F4, 0x65B0, 0x56FA, 0x4EF6, u',', 0x662F, 0x5426, 0x7ACB, 0x5373,
               0x505C, 0x6B62, 0xFF1F}},                                          // 正在更新固件,是否立即停止？
    };
    for (const Expected& e : expected)
        EXPECT_EQ(Units(table.LoadString(e.id)), e.units) << "string " << e.id;
}

TEST_F(ModuleTexts, LineBreaksQuotesAndBlanksSurviveTheResourceCompiler)
{
    const std::u16string zh = table.LoadString(143);
    EXPECT_NE(zh.find(u"\r\n\r\n2. "), std::u16string::npos);
    EXPECT_NE(zh.find(u"\"USB \x5347\x7EA7\""), std::u16string::npos);
    const std::u16string en = table.LoadString(252);
    EXPECT_NE(en.find(u"LEDS     will blink in white..\r\n\r\n3. Click \"USB Update\""), std::u16string::npos);
    EXPECT_EQ(table.LoadString(256), u"Firmware Version: ");
}

TEST_F(ModuleTexts, IdsOutsideTheTwoRangesAreEmpty)
{
    for (std::uint32_t id : {0u, 128u, 148u, 237u, 257u})
        EXPECT_EQ(table.LoadString(id), u"") << "string " << id;
}

TEST_F(ModuleTexts, LanguageChoosesTheRange)
{
    struct Case {
        std::uint16_t language;
        bool chinese;
    };
    for (const Case c : {Case{2052, true}, Case{1033, false}, Case{1028, false}, Case{3076, false}}) {
        FixedLanguage language(c.language);
        SetUiLanguage(&language);
        for (int i = 0; i < kTextCount; ++i) {
            const TextPair& pair = TextTable[static_cast<std::size_t>(i)];
            EXPECT_EQ(LoadText(i), c.chinese ? pair.zh : pair.en) << "language " << c.language << " text " << i;
        }
        EXPECT_EQ(LoadText(kTextCount), u"");
    }
}

// Run by CTest with a locale and the language Wine derives from it.
TEST(SystemUiLanguage, FollowsTheLocaleIntoLoadText)
{
    const char* expected = std::getenv("UPDATER_EXPECTED_UI_LANGUAGE");
    if (!expected)
        GTEST_SKIP() << "needs UPDATER_EXPECTED_UI_LANGUAGE and a matching LC_ALL";
    SystemUiLanguage language;
    ASSERT_EQ(language.UserDefaultUILanguage(), std::stoi(expected));
    ModuleStringTable table(GetModuleHandleW(nullptr));
    SetUiLanguage(&language);
    SetStringTable(&table);
    EXPECT_EQ(LoadText(4), language.UserDefaultUILanguage() == kLangZhCn ? u"升级成功。" : u"Firmware upgraded!");
    SetStringTable(nullptr);
    SetUiLanguage(nullptr);
}
