// Record checks before a transfer, the package file object and the demo packages.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "text/wformat.h"
#include "package/package_file.h"
#include "package/package_validation.h"
#include "package/package_writer.h"
#include "support/test_paths.h"

void PrintTo(RecordProblem p, std::ostream* os)
{
    *os << RecordProblemName(p);
}

namespace {

std::u16string TempPath(const std::string& tag) { return TestFilePath("_" + tag); }

struct CheckCase {
    const char* name;
    std::int64_t fileLength;
    std::int64_t recordOffset;
    std::uint32_t imageSize;
    RecordProblem expected;
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }

class RecordCheck : public testing::TestWithParam<CheckCase> {};

TEST_P(RecordCheck, Classifies)
{
    const CheckCase& c = GetParam();
    PackageHeader h;
    h.imageSize = c.imageSize;
    EXPECT_EQ(ValidatePackageRecord(c.fileLength, c.recordOffset, h), c.expected);
}

constexpr std::int64_t k2G = 0x80000000LL;

INSTANTIATE_TEST_SUITE_P(
    Records, RecordCheck,
    testing::Values(
        CheckCase{"FirstOfThree", 684, 0, 100, RecordProblem::None},
        CheckCase{"LastEndsAtFileEnd", 684, 356, 300, RecordProblem::None},
        CheckCase{"OneByteShort", 683, 356, 300, RecordProblem::ImagePastEnd},
        CheckCase{"HeaderOnly20Bytes", 20, 0, 100, RecordProblem::HeaderCutShort},
        CheckCase{"OffsetPastEnd", 684, 684, 1, RecordProblem::HeaderCutShort},
        CheckCase{"NegativeOffset", 684, -28, 1, RecordProblem::HeaderCutShort},
        CheckCase{"UnknownLength", -1, 0, 1, RecordProblem::HeaderCutShort},
        CheckCase{"EmptyImage", 28, 0, 0, RecordProblem::EmptyImage},
        CheckCase{"SizeWrapsOffset", 1000, 0, 0xFFFFFFF0u, RecordProblem::OffsetOverflow},
        CheckCase{"EndJustPast2G", 4 * k2G, 0, 0x7FFFFFE4u, RecordProblem::OffsetOverflow},
        CheckCase{"EndJustBelow2G", 4 * k2G, 0, 0x7FFFFFE3u, RecordProblem::None},
        CheckCase{"EndBelow2GPastFile", 1000, 0, 0x7FFFFFE3u, RecordProblem::ImagePastEnd},
        CheckCase{"OffsetNear2G", 4 * k2G, k2G - 16, 1, RecordProblem::OffsetOverflow}),
    [](const testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

TEST(RecordCheckFile, MissingFileCannotOpen)
{
    PackageHeader h;
    EXPECT_EQ(ReadAndValidatePackageRecord(TempPath("missing"), 0, h), RecordProblem::CannotOpen);
}

TEST(RecordCheckFile, ImagePastEndStillHandsBackHeader)
{
    PackageRecordSpec entry;
    entry.header.desVersion = 137;
    entry.image = MakeDemoImage(10, 1);
    entry.declaredImageSize = 11;
    const std::u16string path = TempPath("pkg");
    ASSERT_TRUE(WritePackageFile(path, std::vector{entry}));
    PackageHeader h;
    EXPECT_EQ(ReadAndValidatePackageRecord(path, 0, h), RecordProblem::ImagePastEnd);
    EXPECT_EQ(h, WrittenHeader(entry));
}

TEST(RecordCheckFile, DemoBlockPackageRecordsAreFoundAndSound)
{
    const std::u16string path = TempPath("demo");
    ASSERT_TRUE(WritePackageFile(path, DemoBlockPackage()));
    const struct { std::uint32_t type; std::int32_t offset; std::uint32_t size; } expected[] = {
        {0x3010, 0, 10000}, {0x5111, 10028, 40000}, {0, 50056, 20000}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.type);
        const std::int32_t offset = FindPackageRecord(path, e.type);
        ASSERT_EQ(offset, e.offset);
        PackageHeader h;
        EXPECT_EQ(ReadAndValidatePackageRecord(path, offset, h), RecordProblem::None);
        EXPECT_EQ(h.deviceType, e.type);
        EXPECT_EQ(h.imageSize, e.size);
        EXPECT_EQ(h.desVersion, 0x8Cu);
    }
}

class PackageFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        path = TempPath("file");
        ASSERT_TRUE(WriteBytesToFile(path, std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
    }
    std::u16string path;
};

TEST_F(PackageFileTest, EndOfFileIsNotAReadError)
{
    PackageFile file;
    ASSERT_TRUE(file.Open(path));
    ASSERT_TRUE(file.Seek(3));
    std::uint8_t buf[8] = {};
    EXPECT_EQ(file.Read(buf, sizeof buf), 2u);
    EXPECT_FALSE(file.LastReadFailed());
    file.Close();
    file.Close();
    EXPECT_EQ(file.Read(buf, sizeof buf), 0u);
    EXPECT_TRUE(file.LastReadFailed());
}

TEST_F(PackageFileTest, ExclusiveOpenKeepsOthersOut)
{
#ifndef _WIN32
    GTEST_SKIP() << "sharing modes exist only on Windows";
#else
    PackageFile holder;
    ASSERT_TRUE(holder.OpenExclusive(path));
    PackageFile other;
    EXPECT_FALSE(other.Open(path));
    EXPECT_EQ(FindPackageRecord(path, 0), -1);
    holder.Close();
    EXPECT_TRUE(other.Open(path));
#endif
}

}  // namespace
