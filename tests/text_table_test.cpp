#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "text/text_table.h"
#include "text/wformat.h"
#include "text_table_paths.h"

namespace {

struct ExpectedText {
    const char16_t* zh;
    const char16_t* en;
};

constexpr const char16_t* kInstructionsEn =
    u"1. Press and hold the LB+RB buttons of controller.\r\n\r\n"
    u"2. Then connect to PC via USB cable, config LEDS     will blink in white..\r\n\r\n"
    u"3. Click \"USB Update\" button and select firmware     file.";
constexpr const char16_t* kResetHint =
    u"* If anything wrong. Hold START 8 seconds can reset controller. "
    u"You can try to update firmware again";

// Written out independently of res/texts.tsv.
const ExpectedText kExpected[kTextCount] = {
    {u"搜索", u"Search"},
    {u"更新", u"Update"},
    {u"正在更新固件,是否立即停止？", u"The new firmware is updating,and it is turned off"},
    {u"文件类型中显示的内容", u"File type"},
    {u"升级成功。", u"Firmware upgraded!"},
    {u"升级新固件", u"New firmware"},
    {u"Tarvik Update v2.31", u"Tarvik Update v2.31"},
    {u"固件更新失败", u"Firmware update failure"},
    {u"正在搜索蓝牙设备", u"Searching for Bluetooth devices"},
    {u"警告", u"warning"},
    {u"打开蓝牙设备错误", u"Open bluetooth error"},
    {u"固件更新失败,请将手柄工作在 BOOT 模式",
     u"Firmware update failure, please handle work in BOOT mode"},
    {u"USB 升级", u"USB Update"},
    {u"请升级到最新版本", kInstructionsEn},
    {u"1. 按住 LB+RB，然后插入 USB 线，配置指示灯闪烁。\r\n\r\n"
     u"2. 点击 \"USB 升级\" 按钮，选择升级文件。",
     kInstructionsEn},
    {u"当前版本为", u"and current is"},
    {kResetHint, kResetHint},
    {u"固件不匹配！", u"The Firmware not recognized!"},
    {u"固件版本: ", u"Firmware Version: "},
};

class FakeUiLanguage final : public IUiLanguage {
public:
    explicit FakeUiLanguage(std::uint16_t lang) : lang_(lang) {}
    std::uint16_t UserDefaultUILanguage() override
    {
        ++calls;
        return lang_;
    }
    void Set(std::uint16_t lang) { lang_ = lang; }
    int calls = 0;

private:
    std::uint16_t lang_;
};

class RecordingStringTable final : public IStringTable {
public:
    std::u16string LoadString(std::uint32_t id) override
    {
        ids.push_back(id);
        return u"id " + Utf8ToUtf16(std::to_string(id));
    }
    std::vector<std::uint32_t> ids;
};

class TextTableTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        SetUiLanguage(nullptr);
        SetStringTable(nullptr);
    }
    std::u16string TextIn(std::uint16_t lang, int index)
    {
        FakeUiLanguage language(lang);
        SetUiLanguage(&language);
        std::u16string text = LoadText(index);
        SetUiLanguage(nullptr);
        return text;
    }
};

TEST_F(TextTableTest, EveryTextIsExactInBothLanguages)
{
    for (int i = 0; i < kTextCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(TextIn(kLangZhCn, i), kExpected[i].zh);
        EXPECT_EQ(TextIn(1033, i), kExpected[i].en);
    }
}

TEST_F(TextTableTest, OtherLanguagesIncludingOtherChineseGetEnglish)
{
    for (std::uint16_t lang : {1028, 3076, 4100, 5124, 1031, 0, 0xFFFF}) {
        for (int i = 0; i < kTextCount; ++i) {
            SCOPED_TRACE(testing::Message() << "lang " << lang << " index " << i);
            EXPECT_EQ(TextIn(lang, i), kExpected[i].en);
        }
    }
}

TEST_F(TextTableTest, DefaultLanguageIsEnglish)
{
    EXPECT_EQ(LoadText(1), u"Update");
}

TEST_F(TextTableTest, TitleIsTheSameInBothLanguages)
{
    EXPECT_EQ(TextIn(kLangZhCn, 6), u"Tarvik Update v2.31");
    EXPECT_EQ(TextIn(1033, 6), u"Tarvik Update v2.31");
}

TEST_F(TextTableTest, Text13IsShortInChineseAndTheInstructionsInEnglish)
{
    EXPECT_EQ(TextIn(kLangZhCn, 13), u"请升级到最新版本");
    EXPECT_NE(TextIn(kLangZhCn, 13), TextIn(kLangZhCn, 14));
    EXPECT_EQ(TextIn(1033, 13), TextIn(1033, 14));
}

TEST_F(TextTableTest, UndefinedIndicesAreEmpty)
{
    // 109 would land on the English range under a Chinese interface.
    for (int index : {19, 20, 109, -1, -129, INT_MAX, INT_MIN}) {
        for (std::uint16_t lang : {kLangZhCn, std::uint16_t{1033}}) {
            SCOPED_TRACE(testing::Message() << "lang " << lang << " index " << index);
            EXPECT_EQ(TextIn(lang, index), u"");
        }
    }
}

TEST_F(TextTableTest, EnglishInstructionsKeepLineBreaksAndBlankRuns)
{
    const std::u16string text = TextIn(1033, 14);
    int pairs = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n') {
            ASSERT_GT(i, 0u);
            EXPECT_EQ(text[i - 1], u'\r') << "bare line feed at " << i;
        }
        if (text[i] == u'\r') {
            ASSERT_LT(i + 1, text.size());
            EXPECT_EQ(text[i + 1], u'\n') << "bare carriage return at " << i;
            ++pairs;
        }
    }
    EXPECT_EQ(pairs, 4);
    EXPECT_NE(text.find(u"LEDS     will"), std::u16string::npos);
    EXPECT_NE(text.find(u"firmware     file."), std::u16string::npos);
    EXPECT_NE(text.find(u"white..\r\n"), std::u16string::npos);
    EXPECT_EQ(text.find(u"      "), std::u16string::npos) << "a run longer than five";
}

TEST_F(TextTableTest, ChinesePunctuationIsFullWidthWhereStoredSo)
{
    EXPECT_EQ(TextIn(kLangZhCn, 2).back(), u'\uFF1F');
    EXPECT_NE(TextIn(kLangZhCn, 2).find(u','), std::u16string::npos);
    EXPECT_EQ(TextIn(kLangZhCn, 14).find(u"LB+RB\uFF0C"), 6u);
    EXPECT_EQ(TextIn(kLangZhCn, 17).back(), u'\uFF01');
    EXPECT_EQ(TextIn(kLangZhCn, 18).back(), u' ');
}

TEST_F(TextTableTest, LanguageIsAskedAtEveryCall)
{
    FakeUiLanguage language(1033);
    SetUiLanguage(&language);
    EXPECT_EQ(LoadText(0), u"Search");
    language.Set(kLangZhCn);
    EXPECT_EQ(LoadText(0), u"搜索");
    language.Set(1028);
    EXPECT_EQ(LoadText(0), u"Search");
    EXPECT_EQ(language.calls, 3);
}

TEST_F(TextTableTest, IndexMapsToStringIdOfTheLanguage)
{
    RecordingStringTable table;
    SetStringTable(&table);
    EXPECT_EQ(TextIn(kLangZhCn, 0), u"id 129");
    EXPECT_EQ(TextIn(kLangZhCn, 18), u"id 147");
    EXPECT_EQ(TextIn(1033, 0), u"id 238");
    EXPECT_EQ(TextIn(1033, 18), u"id 256");
    EXPECT_EQ(TextIn(1033, 19), u"");
    EXPECT_EQ(table.ids, (std::vector<std::uint32_t>{129, 147, 238, 256}));
    SetStringTable(nullptr);
    EXPECT_EQ(TextIn(1033, 0), u"Search");
}

TEST(CompiledStringTableTest, HoldsExactlyTheTwoRanges)
{
    CompiledStringTable table;
    const struct {
        std::uint32_t id;
        const char16_t* text;
    } cases[] = {
        {129, u"搜索"}, {147, u"固件版本: "}, {238, u"Search"}, {256, u"Firmware Version: "},
        {0, u""},       {128, u""},           {148, u""},      {237, u""},
        {257, u""},     {0xFFFFFFFF, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(table.LoadString(c.id), c.text);
    }
}

// The resource script keeps every text: RC writes "" for a quote.
std::u16string UnescapeRc(const std::string& body)
{
    std::string out;
    for (std::size_t i = 0; i < body.size(); ++i) {
        char c = body[i];
        if (c == '"' && i + 1 < body.size() && body[i + 1] == '"') {
            ++i;
        } else if (c == '\\' && i + 1 < body.size()) {
            char e = body[++i];
            c = e == 'r' ? '\r' : e == 'n' ? '\n' : e == 't' ? '\t' : e;
        }
        out.push_back(c);
    }
    return Utf8ToUtf16(out);
}

TEST(StringsRcTest, HoldsAll38TextsWithRcEscapes)
{
    std::ifstream in(kGeneratedStringsRcPath, std::ios::binary);
    ASSERT_TRUE(in) << kGeneratedStringsRcPath;
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "#pragma code_page(65001)");

    const std::regex entry(R"re(^\s+(\d+), "(.*)"$)re");
    std::map<std::uint32_t, std::u16string> texts;
    std::map<std::uint32_t, std::string> raw;
    for (std::smatch m; std::getline(in, line);) {
        if (!std::regex_match(line, m, entry)) continue;
        const auto id = static_cast<std::uint32_t>(std::stoul(m[1]));
        EXPECT_TRUE(texts.emplace(id, UnescapeRc(m[2])).second) << "duplicate id " << id;
        raw[id] = m[2];
    }
    ASSERT_EQ(texts.size(), 38u);
    for (int i = 0; i < kTextCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(texts[kChineseStringBase + static_cast<std::uint32_t>(i)], kExpected[i].zh);
        EXPECT_EQ(texts[kEnglishStringBase + static_cast<std::uint32_t>(i)], kExpected[i].en);
    }
    EXPECT_NE(raw[143].find("\\r\\n\\r\\n2. 点击 \"\"USB 升级\"\" 按钮"), std::string::npos);
    EXPECT_NE(raw[252].find("Click \"\"USB Update\"\" button"), std::string::npos);
    EXPECT_EQ(raw[256], "Firmware Version: ");
}

}  // namespace
