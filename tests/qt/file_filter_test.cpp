#include <gtest/gtest.h>

#include "text/wformat.h"
#include "platform/qt/file_filter.h"

namespace {

struct FilterCase {
    std::u16string windows;
    std::u16string qt;
};

void PrintTo(const FilterCase& c, std::ostream* os) { *os << Utf16ToUtf8(c.windows); }

class QtNameFilterTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(QtNameFilterTest, TranslatesLabelsAndPatterns)
{
    EXPECT_EQ(QtNameFilters(GetParam().windows), GetParam().qt);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, QtNameFilterTest,
    ::testing::Values(
        FilterCase{u"File type(*.dat)|*.dat||", u"File type(*.dat) (*.dat)"},
        FilterCase{u"文件类型中显示的内容(*.dat)|*.dat||", u"文件类型中显示的内容(*.dat) (*.dat)"},
        FilterCase{u"Packages|*.dat;*.bin|All|*.*||", u"Packages (*.dat *.bin);;All (*.*)"},
        FilterCase{u"No terminator|*.dat", u"No terminator (*.dat)"},
        FilterCase{u"Empty pattern||Dat|*.dat||", u"Dat (*.dat)"},
        FilterCase{u"", u""}));

}  // namespace
