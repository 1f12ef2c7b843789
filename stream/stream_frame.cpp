#include "stream/stream_frame.h"

#include <cstring>

#include "base/little_endian.h"

namespace stream_frame {

namespace {

void PutHeader(Frame& frame, std::uint8_t type, std::uint16_t bodyLength)
{
    frame.bytes[kLead] = 0x00;
    frame.bytes[kType] = type;
    PutLe16(&frame.bytes[kBodyLength], bodyLength);
}

}  // namespace

Frame BuildShortMessage(std::uint8_t type, std::uint8_t value)
{
    Frame frame;
    PutHeader(frame, type, 1);
    frame.bytes[kValue] = value;
    frame.length = kShortFrameBytes;
    return frame;
}

bool BuildCommandFrame(std::uint8_t command, const std::uint8_t* payload,
                       std::int32_t payloadLength, Frame& frame)
{
    if (payloadLength > kMaxPayload)
        return false;
    if (payloadLength < 1) {
        frame = BuildShortMessage(COMMAND_FRAME, command);
        return true;
    }
    const auto n = static_cast<std::uint16_t>(payloadLength);
    PutHeader(frame, COMMAND_FRAME, static_cast<std::uint16_t>(n + 3));
    frame.bytes[kCommand] = command;
    PutLe16(&frame.bytes[kPayloadLength], n);
    std::memcpy(&frame.bytes[kPayload], payload, n);
    frame.length = n + kPayloadOverhead;
    return true;
}

std::array<std::uint8_t, kStartPayloadBytes> BuildStartPayload(std::uint32_t versionWord,
                                                               std::uint32_t imageAddress,
                                                               std::uint32_t imageSize)
{
    std::array<std::uint8_t, kStartPayloadBytes> payload{};  // reserved bytes stay 0
    PutLe32(&payload[kStartVersion], versionWord);
    PutLe32(&payload[kStartAddress], imageAddress);
    PutLe32(&payload[kStartSize], imageSize);
    return payload;
}

std::size_t PutReport(std::span<const std::uint8_t> frameBytes, std::uint8_t* report64)
{
    std::size_t n = frameBytes.size();
    if (n > kReportBytes - kReportFrame)
        n = kReportBytes - kReportFrame;
    report64[kReportCount] = static_cast<std::uint8_t>(n);
    std::memcpy(report64 + kReportFrame, frameBytes.data(), n);
    return n + kReportFrame;
}

Frame BuildVersionReply(std::uint32_t versionWord)
{
    std::uint8_t word[4];
    PutLe32(word, versionWord);
    Frame frame;
    BuildCommandFrame(GET_VERSION, word, sizeof word, frame);
    return frame;
}

Frame BuildDeviceCommand(std::uint8_t command)
{
    return BuildShortMessage(COMMAND_FRAME, command);
}

Frame BuildIdentity(StreamIdentity identity)
{
    Frame frame;
    constexpr std::size_t length = kIdentityWord + 4;
    PutHeader(frame, DEVICE_IDENTITY, static_cast<std::uint16_t>(length - kBody));
    PutLe32(&frame.bytes[kIdentityWord], EncodeIdentity(identity));
    frame.length = length;
    return frame;
}

std::span<const std::uint8_t> ReportFrame(const std::uint8_t* report64)
{
    return {report64 + kReportFrame, kReportBytes - kReportFrame};
}

std::uint16_t FrameBodyLength(std::span<const std::uint8_t> f)
{
    return GetLe16(&f[kBodyLength]);
}

std::uint32_t BodyVersionWord(std::span<const std::uint8_t> body)
{
    return GetLe32(&body[kVersionWord - kBody]);
}

std::uint32_t BodyIdentityWord(std::span<const std::uint8_t> body)
{
    return GetLe32(&body[kIdentityWord - kBody]);
}

StreamIdentity DecodeIdentity(std::uint32_t identityWord)
{
    StreamIdentity identity;
    identity.firmwareType = static_cast<std::uint8_t>(identityWord);
    identity.subModel = static_cast<std::uint8_t>(identityWord >> 8);
    identity.model = static_cast<std::uint16_t>(identityWord >> 16);
    return identity;
}

std::uint32_t EncodeIdentity(StreamIdentity identity)
{
    return std::uint32_t{identity.firmwareType} | std::uint32_t{identity.subModel} << 8 |
           std::uint32_t{identity.model} << 16;
}

StartPayload ParseStartPayload(std::span<const std::uint8_t> payload)
{
    StartPayload start;
    start.versionWord = GetLe32(&payload[kStartVersion]);
    start.imageAddress = GetLe32(&payload[kStartAddress]);
    start.imageSize = GetLe32(&payload[kStartSize]);
    return start;
}

}  // namespace stream_frame
