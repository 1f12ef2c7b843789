#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "block/block_frame.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Sequence(std::size_t count, std::uint8_t first)
{
    Bytes bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

struct CrcCase {
    const char* name;
    Bytes bytes;
    int count;
    std::uint16_t crc;
};

class BlockCrcTest : public ::testing::TestWithParam<CrcCase> {};

TEST_P(BlockCrcTest, MatchesCheckValue)
{
    const CrcCase& c = GetParam();
    EXPECT_EQ(BlockCrc16(c.bytes.data(), c.count), c.crc);
}

Bytes Ascii(const std::string& text) { return Bytes(text.begin(), text.end()); }

INSTANTIATE_TEST_SUITE_P(
    Values, BlockCrcTest,
    ::testing::Values(CrcCase{"digits", Ascii("123456789"), 9, 0x4B37},
                      CrcCase{"abc", Ascii("abc"), 3, 0x5749},
                      CrcCase{"empty", Bytes{}, 0, 0xFFFF},
                      CrcCase{"negative_count", Ascii("abc"), -1, 0xFFFF},
                      // A register read request as sent on a serial bus.
                      CrcCase{"request", Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}, 6, 0xCDC5},
                      CrcCase{"count_limits_bytes", Ascii("abcdef"), 3, 0x5749}),
    [](const auto& info) { return std::string(info.param.name); });

struct FrameCase {
    const char* name;
    Bytes data;       // empty: no data
    std::uint32_t n;
    std::uint32_t address;
    std::uint32_t size;
    BlockCommand command;
    bool withCrc;
    Bytes header;     // the 17 bytes before the data
    std::size_t dataBytes;
};

class BlockFrameTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(BlockFrameTest, BytesOnTheWire)
{
    const FrameCase& c = GetParam();
    const BlockFrame frame = BuildBlockFrame(c.data.empty() ? nullptr : c.data.data(), c.n, c.address,
                                             c.size, BlockCode(c.command), 0, c.withCrc);
    ASSERT_EQ(frame.wireLength, kBlockHeaderBytes + c.dataBytes);
    EXPECT_EQ(Bytes(frame.bytes.begin(), frame.bytes.begin() + kBlockHeaderBytes), c.header);
    EXPECT_EQ(Bytes(frame.bytes.begin() + kBlockHeaderBytes, frame.bytes.begin() + frame.wireLength),
              Bytes(c.data.begin(), c.data.begin() + static_cast<std::ptrdiff_t>(c.dataBytes)));
    // Everything after the data stays zero, the last byte included.
    for (std::size_t i = frame.wireLength; i < kBlockFrameBytes; ++i)
        ASSERT_EQ(frame.bytes[i], 0) << "offset " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Frames, BlockFrameTest,
    ::testing::Values(
        FrameCase{"read_memory_4", {}, 4, 0x08014034, 4, BlockCommand::ReadMemory, false,
                  {0x05, 0x05, 0, 0, 0, 0x04, 0, 0, 0, 0x04, 0, 0, 0, 0x34, 0x40, 0x01, 0x08}, 0},
        FrameCase{"read_info_4", {}, 4, 0, 4, BlockCommand::ReadInfo, false,
                  {0x05, 0x08, 0, 0, 0, 0x04, 0, 0, 0, 0x04, 0, 0, 0, 0, 0, 0, 0}, 0},
        FrameCase{"finish", {}, 0, 0, 0, BlockCommand::Finish, false,
                  {0x05, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
        FrameCase{"erase", {}, 0, 0x01018000, 0x10000, BlockCommand::Erase, false,
                  {0x05, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0x80, 0x01, 0x01}, 0},
        FrameCase{"read_above_46_cut", {}, 60, 0x100, 60, BlockCommand::ReadMemory, false,
                  {0x05, 0x05, 0, 0, 0, 46, 0, 0, 0, 60, 0, 0, 0, 0x00, 0x01, 0, 0}, 0},
        FrameCase{"write_memory_no_crc", {0x8C, 0, 0, 0}, 4, 0x08014034, 4, BlockCommand::WriteMemory, false,
                  {0x05, 0x02, 0, 0, 0, 0x04, 0, 0, 0, 0x04, 0, 0, 0, 0x34, 0x40, 0x01, 0x08}, 4},
        FrameCase{"write_image_46", Sequence(46, 0x10), 46, 0x01018000, 0x8001, BlockCommand::WriteImage, false,
                  {0x05, 0x03, 0, 0, 0, 46, 0, 0, 0, 0x01, 0x80, 0, 0, 0, 0x80, 0x01, 0x01}, 46},
        // Cut to 46 in length, CRC and bytes sent; size keeps the caller's 60.
        FrameCase{"write_image_60_cut_crc", Sequence(60, 0x10), 60, 0x08014000, 60, BlockCommand::WriteImage, true,
                  {0x05, 0x03, 0, 0, 0, 46, 0, 0x60, 0xD9, 60, 0, 0, 0, 0, 0x40, 0x01, 0x08}, 46}),
    [](const auto& info) { return std::string(info.param.name); });

std::array<std::uint8_t, 64> Response(std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes)
{
    std::array<std::uint8_t, 64> r{};
    for (auto [offset, value] : bytes)
        r[offset] = value;
    return r;
}

struct AckCase {
    const char* name;
    std::uint32_t readResult;
    std::array<std::uint8_t, 64> response;
    BlockCommand command;
    bool ack;
};

class BlockAckTest : public ::testing::TestWithParam<AckCase> {};

TEST_P(BlockAckTest, FourTestsDecide)
{
    const AckCase& c = GetParam();
    EXPECT_EQ(IsBlockAck(c.readResult, c.response.data(), BlockCode(c.command)), c.ack);
}

INSTANTIATE_TEST_SUITE_P(
    Responses, BlockAckTest,
    ::testing::Values(
        AckCase{"read_memory", 0, Response({{1, 5}, {4, 5}}), BlockCommand::ReadMemory, true},
        // Nothing beyond the first six bytes is examined: an old answer with
        // other data is as good as a fresh one.
        AckCase{"other_bytes_ignored", 0,
                Response({{1, 5}, {4, 5}, {6, 0xAA}, {9, 0x11}, {17, 0xFF}, {18, 0x42}, {63, 0x99}}),
                BlockCommand::ReadMemory, true},
        AckCase{"other_command_echo", 0, Response({{1, 5}, {4, 5}}), BlockCommand::ReadInfo, false},
        AckCase{"write_memory_echo_for_image", 0, Response({{1, 5}, {4, 2}}), BlockCommand::WriteImage, false},
        AckCase{"high_byte_of_echo", 0, Response({{1, 5}, {4, 5}, {5, 1}}), BlockCommand::ReadMemory, false},
        AckCase{"read_failed", 258, Response({{1, 5}, {4, 5}}), BlockCommand::ReadMemory, false},
        AckCase{"byte0_set", 0, Response({{0, 1}, {1, 5}, {4, 5}}), BlockCommand::ReadMemory, false},
        AckCase{"marker_wrong", 0, Response({{1, 4}, {4, 5}}), BlockCommand::ReadMemory, false},
        AckCase{"status_low", 0, Response({{1, 5}, {2, 1}, {4, 5}}), BlockCommand::ReadMemory, false},
        AckCase{"status_high", 0, Response({{1, 5}, {3, 1}, {4, 5}}), BlockCommand::ReadMemory, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
