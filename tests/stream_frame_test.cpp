// Stream frames as they reach the controller: whole 65-byte reports,
// including what a short report leaves behind from an earlier, longer one.
#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <ostream>
#include <vector>

#include "stream/stream_frame.h"
#include "stream/stream_send.h"
#include "support/session_fixture.h"

namespace {

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t first)
{
    std::vector<std::uint8_t> v(n);
    std::iota(v.begin(), v.end(), first);
    return v;
}

// A report with the given bytes after the report ID, over an earlier report
// whose later bytes stay behind (zeros after a reset).
HidReport Report(const std::vector<std::uint8_t>& afterId, const HidReport& under = {})
{
    HidReport r = under;
    r[0] = 0;
    std::copy(afterId.begin(), afterId.end(), r.begin() + 1);
    return r;
}

std::vector<std::uint8_t> Cat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class StreamFrameTest : public SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        id = bus.Plug(SimDeviceConfig{u"stream-dev", 0x0483, 0x5750, nullptr});
        OpenSession();
        linesBefore = sink.Lines().size();
    }
    // Diagnostic lines written by the test itself.
    std::vector<std::u16string> NewLines() const
    {
        const auto all = sink.Lines();
        return {all.begin() + static_cast<std::ptrdiff_t>(linesBefore), all.end()};
    }
    VirtualHidBus::DeviceId id = 0;
    std::size_t linesBefore = 0;
};

struct SendCase {
    const char* name;
    std::function<int(UpdateSession&)> send;
    int result;
    std::vector<std::vector<std::uint8_t>> reports;  // bytes after the report ID
    std::vector<std::u16string> lines;
};

void PrintTo(const SendCase& c, std::ostream* os) { *os << c.name; }

const std::vector<std::uint8_t> kChunk32 = Bytes(32, 0xA0);
const std::vector<std::uint8_t> kChunk10 = Bytes(10, 0x10);

TransferRecord StartRecord()
{
    TransferRecord t{};
    t.packageVersionWord = (2u << 16) | 137u;
    t.imageAddress = 16384;
    t.imageSize = 4096;
    return t;
}

const SendCase kSendCases[] = {
    {"GetVersion", [](UpdateSession& s) { return SendFirmwarePacket(s, 0, 0x97, GET_VERSION, nullptr, 0); }, 1,
     {{0x05, 0x00, 0x16, 0x01, 0x00, 0x04}}, {u"SendFirmwarePacket cmd 4\n"}},
    {"EndUpdate", [](UpdateSession& s) { return SendFirmwarePacket(s, 0, 0x97, END_UPDATE, nullptr, 0); }, 1,
     {{0x05, 0x00, 0x16, 0x01, 0x00, 0x02}}, {u"SendFirmwarePacket cmd 2\n"}},
    {"UpdateStart", [](UpdateSession& s) { return SendShortMessage(s, 0, 0x97, UPDATE_START, 0); }, 1,
     {{0x05, 0x00, 0x1A, 0x01, 0x00, 0x00}}, {}},
    {"ReadFailed", [](UpdateSession& s) { return SendShortMessage(s, 0, 0x97, READ_FAILED, 0); }, 1,
     {{0x05, 0x00, 0x1D, 0x01, 0x00, 0x00}}, {}},
    {"ZeroLengthPayloadGoesBare",
     [](UpdateSession& s) { return SendFirmwarePacket(s, 0, 0x97, END_UPDATE, kChunk10.data(), 0); }, 1,
     {{0x05, 0x00, 0x16, 0x01, 0x00, 0x02}}, {u"SendFirmwarePacket cmd 2\n"}},
    {"NegativeLengthGoesBare",
     [](UpdateSession& s) { return SendFirmwarePacket(s, 0, 0x97, GET_VERSION, kChunk10.data(), -5); }, 1,
     {{0x05, 0x00, 0x16, 0x01, 0x00, 0x04}}, {u"SendFirmwarePacket cmd 4\n"}},
    {"ImageData32", [](UpdateSession& s) { return SendDataPacket(s, 0, 0x97, kChunk32.data(), 32); }, -1,
     {Cat({0x27, 0x00, 0x16, 0x23, 0x00, 0x00, 0x20, 0x00}, kChunk32)},
     {u"WriteHid 39 btye sucessful\n"}},
    {"ImageData10", [](UpdateSession& s) { return SendDataPacket(s, 0, 0x97, kChunk10.data(), 10); }, -1,
     {Cat({0x11, 0x00, 0x16, 0x0D, 0x00, 0x00, 0x0A, 0x00}, kChunk10)},
     {u"WriteHid 17 btye sucessful\n"}},
    {"ImageDataEmpty", [](UpdateSession& s) { return SendDataPacket(s, 0, 0x97, nullptr, 0); }, -1,
     {{0x05, 0x00, 0x16, 0x01, 0x00, 0x00}}, {u"WriteHid 5 btye sucessful\n"}},
    {"StartUpdate",
     [](UpdateSession& s) { return SendStartPacket(s, 0, 0x97, StartRecord()); }, 1,
     {Cat({0x23, 0x00, 0x16, 0x1F, 0x00, 0x01, 0x1C, 0x00, 0x89, 0x00, 0x02, 0x00, 0x00, 0x40,
           0x00, 0x00, 0x00, 0x10, 0x00, 0x00},
          std::vector<std::uint8_t>(16, 0x00))},
     {u"SendFirmwarePacket cmd 1\n"}},
    {"WholeFrameAtLimit",
     [](UpdateSession& s) {
         const auto p = Bytes(56, 1);
         return SendFirmwarePacket(s, 0, 0x97, START_UPDATE, p.data(), 56);
     },
     1, {Cat({0x3F, 0x00, 0x16, 0x3B, 0x00, 0x01, 0x38, 0x00}, Bytes(56, 1))},
     {u"SendFirmwarePacket cmd 1\n"}},
    {"WholeFrameBeyondLimitRefused",
     [](UpdateSession& s) {
         const auto p = Bytes(57, 1);
         return SendFirmwarePacket(s, 0, 0x97, START_UPDATE, p.data(), 57);
     },
     0, {}, {}},
    {"ImageDataBeyondBufferRefused",
     [](UpdateSession& s) {
         const auto p = Bytes(1018, 1);
         return SendDataPacket(s, 0, 0x97, p.data(), 1018);
     },
     -1, {}, {}},
    {"OtherSelectorShort", [](UpdateSession& s) { return SendShortMessage(s, 0, 0x96, UPDATE_START, 0); }, -1, {}, {}},
    {"OtherSelectorCommand",
     [](UpdateSession& s) { return SendFirmwarePacket(s, 0, 0x00, GET_VERSION, nullptr, 0); }, -1, {}, {}},
    {"OtherSelectorStart", [](UpdateSession& s) { return SendStartPacket(s, 0, 0x98, StartRecord()); }, -1, {}, {}},
    {"OtherSelectorData",
     [](UpdateSession& s) { return SendDataPacket(s, 0, 0x17, kChunk32.data(), 32); }, -1, {}, {}},
};

class StreamSend : public StreamFrameTest, public testing::WithParamInterface<SendCase> {};

TEST_P(StreamSend, WritesExactReports)
{
    const SendCase& c = GetParam();
    EXPECT_EQ(c.send(*session), c.result);
    std::vector<HidReport> expected;
    for (const auto& r : c.reports)
        expected.push_back(Report(r));
    EXPECT_EQ(bus.OutputLog(id), expected);
    EXPECT_EQ(NewLines(), c.lines);
}

INSTANTIATE_TEST_SUITE_P(Frames, StreamSend, testing::ValuesIn(kSendCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StreamFrameTest, ShortReportKeepsTheTailOfTheLongerOneBefore)
{
    SendStartPacket(*session, 0, 0x97, StartRecord());
    SendFirmwarePacket(*session, 0, 0x97, END_UPDATE, nullptr, 0);
    const auto log = bus.OutputLog(id);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], Report({0x05, 0x00, 0x16, 0x01, 0x00, 0x02}, log[0]));
    EXPECT_EQ(log[1][7], 0x1C) << "START_UPDATE's payload length byte is still there";
}

TEST_F(StreamFrameTest, FortyBytePayloadTravelsInTwoPieces)
{
    const auto payload = Bytes(40, 0x40);
    EXPECT_EQ(SendFirmwarePacket(*session, 0, 0x97, IMAGE_DATA, payload.data(), 40), -1);
    const std::vector<std::uint8_t> frame =
        Cat({0x00, 0x16, 0x2B, 0x00, 0x00, 0x28, 0x00}, payload);
    const auto log = bus.OutputLog(id);
    ASSERT_EQ(log.size(), 2u);
    const HidReport first = Report(Cat({39}, {frame.begin(), frame.begin() + 39}));
    EXPECT_EQ(log[0], first);
    EXPECT_EQ(log[1], Report(Cat({8}, {frame.begin() + 39, frame.end()}), first));
    EXPECT_EQ(NewLines(), (std::vector<std::u16string>{u"WriteHid 39 btye sucessful\n",
                                                        u"WriteHid 8 btye sucessful\n"}));
}

TEST_F(StreamFrameTest, FailedPieceEndsTheFrame)
{
    bus.SetFailWrites(id, true);
    const auto payload = Bytes(40, 0x40);
    EXPECT_EQ(SendFirmwarePacket(*session, 0, 0x97, IMAGE_DATA, payload.data(), 40), -1);
    EXPECT_TRUE(bus.OutputLog(id).empty());
    EXPECT_EQ(NewLines(), std::vector<std::u16string>{u"WriteHid error\n"});
}

TEST_F(StreamFrameTest, LargestPayloadGoesInTwentySevenPieces)
{
    const auto payload = Bytes(1017, 0);
    EXPECT_EQ(SendDataPacket(*session, 0, 0x97, payload.data(), 1017), -1);
    const auto log = bus.OutputLog(id);
    ASSERT_EQ(log.size(), 27u);
    EXPECT_EQ(log.back()[1], 1024 - 26 * 39);
}

TEST_F(StreamFrameTest, FailedWholeFrameGivesZero)
{
    bus.SetFailWrites(id, true);
    EXPECT_EQ(SendShortMessage(*session, 0, 0x97, UPDATE_START, 0), 0);
    EXPECT_EQ(SendFirmwarePacket(*session, 0, 0x97, GET_VERSION, nullptr, 0), 0);
}

TEST(StreamFrameParse, IdentityWordTakesTypeSubModelAndModel)
{
    std::uint8_t reportIn[64] = {};
    reportIn[1] = 0x00;
    reportIn[2] = DEVICE_IDENTITY;
    reportIn[41] = 0x01;
    reportIn[42] = 0x02;
    reportIn[43] = 0x05;
    reportIn[44] = 0x01;
    const auto frame = stream_frame::ReportFrame(reportIn);
    const auto identity =
        stream_frame::DecodeIdentity(stream_frame::BodyIdentityWord(frame.subspan(4)));
    EXPECT_EQ(identity.firmwareType, 1);
    EXPECT_EQ(identity.subModel, 2);
    EXPECT_EQ(identity.model, 261);
}

TEST(StreamFrameParse, DeviceFramesLandWhereTheHostReadsThem)
{
    std::uint8_t reportIn[64] = {};
    stream_frame::PutReport(stream_frame::BuildVersionReply(0x00020089).View(), reportIn);
    EXPECT_EQ(std::vector<std::uint8_t>(reportIn, reportIn + 12),
              (std::vector<std::uint8_t>{11, 0x00, 0x16, 0x07, 0x00, 0x04, 0x04, 0x00, 0x89,
                                         0x00, 0x02, 0x00}));
    std::uint8_t identity[64] = {};
    stream_frame::PutReport(stream_frame::BuildIdentity({200, 3, 0x0105}).View(), identity);
    EXPECT_EQ(identity[2], DEVICE_IDENTITY);
    EXPECT_EQ(std::vector<std::uint8_t>(identity + 41, identity + 45),
              (std::vector<std::uint8_t>{200, 3, 0x05, 0x01}));
}

}  // namespace
