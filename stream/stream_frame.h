#pragma once
// The stream protocol on the wire: frame layout, code tables, the start
// payload, and the four senders. Every byte the host or a simulated
// controller puts on the wire, or reads from it, goes through this header.
//
// Frame: 00, type, body length L (u16), L body bytes. A report (after the
// report ID) is a count byte followed by frame bytes, in both directions.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// Transport selector of the HID link, the only transport.
inline constexpr std::uint8_t kHidTransport = 0x97;

enum StreamMessageType : std::uint8_t {
    COMMAND_FRAME = 0x16,
    DEVICE_IDENTITY = 0x19,
    UPDATE_START = 0x1A,
    READ_FAILED = 0x1D,
};

enum StreamCommand : std::uint8_t {
    IMAGE_DATA = 0,
    START_UPDATE = 1,
    END_UPDATE = 2,
    GET_VERSION = 4,
    SET_FIRMWARE_DATA = 20,
    FAILURE_REPORT_A = 21,
    FAILURE_REPORT_B = 24,
};

namespace stream_frame {

// Offsets inside a frame.
inline constexpr std::size_t kLead = 0;          // always 0x00
inline constexpr std::size_t kType = 1;
inline constexpr std::size_t kBodyLength = 2;    // u16
inline constexpr std::size_t kBody = 4;
inline constexpr std::size_t kValue = 4;         // short message value
inline constexpr std::size_t kCommand = 4;       // command frame
inline constexpr std::size_t kPayloadLength = 5; // u16, only with a payload
inline constexpr std::size_t kPayload = 7;
inline constexpr std::size_t kVersionWord = 7;   // u32 in a GET_VERSION reply
inline constexpr std::size_t kIdentityWord = 40; // u32 in DEVICE_IDENTITY

inline constexpr std::size_t kShortFrameBytes = 5;
inline constexpr std::size_t kPayloadOverhead = 7;

// Offsets inside a report, after its report ID.
inline constexpr std::size_t kReportCount = 0;
inline constexpr std::size_t kReportFrame = 1;
inline constexpr std::size_t kReportBytes = 64;

// A frame is built in a buffer of this size; a frame sent whole must fit one
// report; IMAGE_DATA frames travel in pieces of at most kPieceBytes.
inline constexpr std::size_t kFrameBufferBytes = 1024;
inline constexpr std::int32_t kMaxPayload = 1017;
inline constexpr std::int32_t kMaxWholePayload = 56;
inline constexpr std::size_t kPieceBytes = 39;

// Start payload of START_UPDATE.
inline constexpr std::size_t kStartVersion = 0;
inline constexpr std::size_t kStartAddress = 4;
inline constexpr std::size_t kStartSize = 8;
inline constexpr std::size_t kStartPayloadBytes = 28;

// Identity word: firmware type, sub-model, model.
struct StreamIdentity {
    std::uint8_t firmwareType = 0;
    std::uint8_t subModel = 0;
    std::uint16_t model = 0;
};

struct Frame {
    std::array<std::uint8_t, kFrameBufferBytes> bytes{};
    std::size_t length = 0;
    std::span<const std::uint8_t> View() const { return {bytes.data(), length}; }
};

// --- Building ---
Frame BuildShortMessage(std::uint8_t type, std::uint8_t value);
// Bare form when payloadLength < 1. False (frame untouched) when the payload
// exceeds kMaxPayload.
bool BuildCommandFrame(std::uint8_t command, const std::uint8_t* payload,
                       std::int32_t payloadLength, Frame& frame);
std::array<std::uint8_t, kStartPayloadBytes> BuildStartPayload(std::uint32_t versionWord,
                                                               std::uint32_t imageAddress,
                                                               std::uint32_t imageSize);
// A report (after the report ID): count byte, then the frame bytes. Bytes
// beyond them are left as the caller had them.
std::size_t PutReport(std::span<const std::uint8_t> frameBytes, std::uint8_t* report64);

// Device to host (the simulated controller).
Frame BuildVersionReply(std::uint32_t versionWord);
Frame BuildDeviceCommand(std::uint8_t command);
Frame BuildIdentity(StreamIdentity identity);

// --- Parsing ---
// A report's frame: the bytes after the count byte (64 - 1 of them).
std::span<const std::uint8_t> ReportFrame(const std::uint8_t* report64);
// Fields of a frame; the caller guarantees the frame reaches them.
inline std::uint8_t FrameLead(std::span<const std::uint8_t> f) { return f[kLead]; }
inline std::uint8_t FrameType(std::span<const std::uint8_t> f) { return f[kType]; }
std::uint16_t FrameBodyLength(std::span<const std::uint8_t> f);
// Body fields, counted from the body (frame offset kBody).
inline std::uint8_t BodyCommand(std::span<const std::uint8_t> body) { return body[0]; }
std::uint32_t BodyVersionWord(std::span<const std::uint8_t> body);
std::uint32_t BodyIdentityWord(std::span<const std::uint8_t> body);
StreamIdentity DecodeIdentity(std::uint32_t identityWord);
std::uint32_t EncodeIdentity(StreamIdentity identity);

struct StartPayload {
    std::uint32_t versionWord = 0;
    std::uint32_t imageAddress = 0;
    std::uint32_t imageSize = 0;
};
StartPayload ParseStartPayload(std::span<const std::uint8_t> payload);

}  // namespace stream_frame
