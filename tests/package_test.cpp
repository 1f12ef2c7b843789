// Record walk and header read of firmware packages.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "text/wformat.h"
#include "package/package_header.h"
#include "package/package_writer.h"
#include "support/test_paths.h"

namespace {

std::u16string TempPath(const std::string& tag) { return TestFilePath("_" + tag); }

struct Rec {
    std::uint32_t deviceType;
    std::size_t imageBytes;
    std::optional<std::uint32_t> declaredSize = std::nullopt;
    std::uint32_t reserved2 = 0;
};

std::vector<std::uint8_t> Build(const std::vector<Rec>& recs)
{
    std::vector<PackageRecordSpec> specs;
    for (const Rec& r : recs) {
        PackageRecordSpec s;
        s.header.deviceType = r.deviceType;
        s.header.reserved2 = r.reserved2;
        s.image = MakeDemoImage(r.imageBytes, r.deviceType);
        s.declaredImageSize = r.declaredSize;
        specs.push_back(s);
    }
    return SerializePackage(specs);
}

struct WalkCase {
    const char* name;
    std::vector<Rec> records;
    std::optional<std::size_t> keepBytes;  // cut the file to this length
    std::uint32_t wanted;
    std::int32_t expected;
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }

class RecordWalk : public testing::TestWithParam<WalkCase> {};

TEST_P(RecordWalk, FindsFirstMatchingRecordOrNone)
{
    const WalkCase& c = GetParam();
    std::vector<std::uint8_t> bytes = Build(c.records);
    if (c.keepBytes)
        bytes.resize(*c.keepBytes);
    const std::u16string path = TempPath("pkg");
    ASSERT_TRUE(WriteBytesToFile(path, bytes));
    EXPECT_EQ(FindPackageRecord(path, c.wanted), c.expected);
}

const std::vector<Rec> kThree = {{1, 100}, {2, 200}, {3, 300}};

INSTANTIATE_TEST_SUITE_P(
    Packages, RecordWalk,
    testing::Values(
        WalkCase{"ThreeRecordsFirst", kThree, std::nullopt, 1, 0},
        WalkCase{"ThreeRecordsSecond", kThree, std::nullopt, 2, 128},
        WalkCase{"ThreeRecordsThird", kThree, std::nullopt, 3, 356},
        WalkCase{"ThreeRecordsNone", kThree, std::nullopt, 4, -1},
        WalkCase{"EmptyFile", {}, std::nullopt, 0, -1},
        WalkCase{"OneRecordMatch", {{0x3010, 16}}, std::nullopt, 0x3010, 0},
        WalkCase{"OneRecordNoMatch", {{0x3010, 16}}, std::nullopt, 0x5111, -1},
        WalkCase{"SameTypeTwiceNearerWins", {{1, 10}, {2, 10}, {2, 10}}, std::nullopt, 2, 38},
        WalkCase{"HighBitsCompared", {{0x12343010, 8}}, std::nullopt, 0x3010, -1},
        WalkCase{"HighBitsSkippedToExactMatch", {{0x12343010, 8}, {0x3010, 8}}, std::nullopt,
                 0x3010, 36},
        // The 20 bytes present include a matching deviceType: it must not count.
        WalkCase{"LoneHeaderCutShort", {{0x3010, 0}}, 20, 0x3010, -1},
        WalkCase{"SecondHeaderCutShort", {{1, 10}, {7, 0}}, 38 + 16, 7, -1},
        WalkCase{"ZeroSizeImageSkipped", {{1, 0}, {2, 4}}, std::nullopt, 2, 28},
        WalkCase{"ZeroSizeImageEnds", {{1, 0}}, std::nullopt, 2, -1},
        WalkCase{"ImagePastEndStillReturned", {{9, 10, 1000}}, std::nullopt, 9, 0},
        WalkCase{"WalkEndsAfterImagePastEnd", {{1, 10, 1000}, {2, 10}}, std::nullopt, 2, -1},
        // A 32-bit sum would wrap to offset 12, where reserved2 poses as deviceType.
        WalkCase{"WrappingSizeEndsWalk", {{1, 40, 0xFFFFFFF0, 0xABCD}, {2, 4}}, std::nullopt,
                 0xABCD, -1},
        WalkCase{"SizePastSignedRangeEndsWalk", {{1, 40, 0x7FFFFFF0}, {2, 4}}, std::nullopt, 2,
                 -1}),
    [](const testing::TestParamInfo<WalkCase>& info) { return std::string(info.param.name); });

TEST(RecordWalkFile, ThreeRecordsEndAt684)
{
    EXPECT_EQ(Build(kThree).size(), 684u);
}

TEST(RecordWalkFile, MissingFileGivesMinusOne)
{
    EXPECT_EQ(FindPackageRecord(TempPath("never_written"), 0), -1);
}

TEST(RecordWalkFile, DirectoryGivesMinusOne)
{
    EXPECT_EQ(FindPackageRecord(Utf8ToUtf16(UPDATER_TEST_TMPDIR), 0), -1);
}

TEST(PackageHeaderRead, ParsesAllSevenWordsLittleEndian)
{
    std::vector<std::uint8_t> bytes = {0xEE, 0xEE, 0xEE};  // record at offset 3
    for (std::uint8_t b = 1; b <= 28; ++b)
        bytes.push_back(b);
    const std::u16string path = TempPath("hdr");
    ASSERT_TRUE(WriteBytesToFile(path, bytes));
    PackageFile file;
    ASSERT_TRUE(file.Open(path));
    PackageHeader h;
    ASSERT_TRUE(ReadPackageHeader(file, 3, h));
    EXPECT_EQ(h.desVersion, 0x04030201u);
    EXPECT_EQ(h.imageAddress, 0x08070605u);
    EXPECT_EQ(h.imageSize, 0x0C0B0A09u);
    EXPECT_EQ(h.deviceType, 0x100F0E0Du);
    EXPECT_EQ(h.reserved1, 0x14131211u);
    EXPECT_EQ(h.revision, 0x18171615u);
    EXPECT_EQ(h.reserved2, 0x1C1B1A19u);
}

TEST(PackageHeaderRead, CutShortLeavesOutputUntouched)
{
    const std::vector<std::uint8_t> bytes(40, 0x11);
    const std::u16string path = TempPath("short");
    ASSERT_TRUE(WriteBytesToFile(path, bytes));
    PackageFile file;
    ASSERT_TRUE(file.Open(path));
    PackageHeader h;
    h.revision = 77;
    EXPECT_FALSE(ReadPackageHeader(file, 13, h));  // 27 bytes left
    EXPECT_FALSE(ReadPackageHeader(file, 400, h));
    EXPECT_FALSE(ReadPackageHeader(file, -1, h));
    EXPECT_EQ(h, PackageHeader{.revision = 77});
    EXPECT_TRUE(ReadPackageHeader(file, 12, h));
}

}  // namespace
