// The simulated stream controller on frames the host would never send: every
// length on the wire is checked against the bytes that actually arrived.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "sim/sim_stream_controller.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class CountingPort final : public SimDevicePort {
public:
    void SendInput(const std::uint8_t*, std::uint32_t) override { ++answers; }
    void Unplug() override {}
    std::uint64_t NowMs() override { return 0; }
    int answers = 0;
};

Bytes Counting(std::uint8_t n)
{
    Bytes bytes;
    for (std::uint8_t i = 1; i <= n; ++i)
        bytes.push_back(i);
    return bytes;
}

// An IMAGE_DATA frame carrying Counting(n).
Bytes ImageFrame(std::uint8_t n)
{
    Bytes frame{0x00, 0x16, static_cast<std::uint8_t>(n + 3), 0x00, 0x00, n, 0x00};
    const Bytes payload = Counting(n);
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

// The count byte (by default the frame's size), then the frame bytes.
Bytes Piece(const Bytes& frame, std::optional<std::uint8_t> count = std::nullopt)
{
    Bytes payload{count.value_or(static_cast<std::uint8_t>(frame.size()))};
    payload.insert(payload.end(), frame.begin(), frame.end());
    return payload;
}

struct FrameCase {
    const char* name;
    std::vector<Bytes> reports;  // payloads after the report ID: count byte, frame bytes
    std::vector<std::size_t> chunks;
    Bytes received;
    int answers;
};

void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.name; }

class SimStreamFrames : public ::testing::TestWithParam<FrameCase> {};

TEST_P(SimStreamFrames, TakeOnlyTheBytesThatArrived)
{
    const FrameCase& c = GetParam();
    SimStreamController device;
    CountingPort port;
    for (const Bytes& payload : c.reports) {
        std::array<std::uint8_t, 65> report{};
        std::copy(payload.begin(), payload.end(), report.begin() + 1);
        device.OnOutputReport(report.data(), port);
    }
    EXPECT_EQ(device.ChunkSizes(), c.chunks);
    EXPECT_EQ(device.ReceivedBytes(), c.received);
    EXPECT_EQ(port.answers, c.answers);
}

const Bytes kFiftyByteFrame = ImageFrame(50);

INSTANTIATE_TEST_SUITE_P(
    Lengths, SimStreamFrames,
    ::testing::Values(
        FrameCase{"chunk", {Piece(ImageFrame(4))}, {4}, Counting(4), 1},
        FrameCase{"bare_chunk", {Piece({0x00, 0x16, 0x01, 0x00, 0x00})}, {0}, {}, 1},
        // The length is checked against the whole frame, not its first piece.
        FrameCase{"chunk_in_two_pieces",
                  {Piece(Bytes(kFiftyByteFrame.begin(), kFiftyByteFrame.begin() + 39)),
                   Piece(Bytes(kFiftyByteFrame.begin() + 39, kFiftyByteFrame.end()))},
                  {50}, Counting(50), 1},
        // A count byte beyond the report's 63 frame bytes reads no further.
        FrameCase{"count_past_report", {Piece(ImageFrame(4), 0xFF)}, {4}, Counting(4), 1},
        FrameCase{"payload_length_past_frame", {Piece({0x00, 0x16, 0x04, 0x00, 0x00, 0xFF, 0x00, 0x01})}, {}, {}, 0},
        FrameCase{"payload_length_cut_short", {Piece({0x00, 0x16, 0x02, 0x00, 0x00, 0x05})}, {}, {}, 0},
        FrameCase{"no_command_byte", {Piece({0x00, 0x16, 0x00, 0x00})}, {}, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
