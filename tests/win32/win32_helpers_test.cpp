// The small conversions of the Windows front end.
#include <gtest/gtest.h>

#include "platform/win32/command_line.h"
#include "platform/win32/file_filter.h"

namespace {

struct FilterCase {
    std::u16string barSeparated;
    std::u16string commonDialog;
};

}  // namespace

TEST(ToCommonDialogFilter, BarsBecomeNulsAndTheListEndsWithTwo)
{
    using namespace std::string_literals;
    const FilterCase cases[] = {
        {u"File type(*.dat)|*.dat||"s, u"File type(*.dat)\0*.dat\0\0"s},
        {u"\x6587\x4EF6(*.dat)|*.dat||"s, u"\x6587\x4EF6(*.dat)\0*.dat\0\0"s},
        {u"A|*.a|B|*.b;*.c||"s, u"A\0*.a\0B\0*.b;*.c\0\0"s},
        {u"A|*.a"s, u"A\0*.a\0\0"s},  // no closing bars
        {u""s, u"\0\0"s},
    };
    for (const FilterCase& c : cases)
        EXPECT_EQ(ToCommonDialogFilter(c.barSeparated), c.commonDialog);
}

TEST(SimulateOption, OnlyTheTwoFamiliesSelectTheDemoMode)
{
    struct Case {
        const wchar_t* commandLine;
        std::optional<DemoKind> expected;
    };
    const Case cases[] = {
        {L"", std::nullopt},
        {nullptr, std::nullopt},
        {L"--simulate=stream", DemoKind::Stream},
        {L"--simulate=block", DemoKind::Block},
        {L"\"--simulate=block\"", DemoKind::Block},
        {L"/x --simulate=stream", DemoKind::Stream},
        {L"--simulate=", std::nullopt},
        {L"--simulate=Stream", std::nullopt},
        {L"--simulate=streams", std::nullopt},
        {L"--simulate", std::nullopt},
        {L"stream", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SimulateOption(c.commandLine), c.expected) << (c.commandLine ? "line" : "null");
}
