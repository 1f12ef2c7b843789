#pragma once
// The block protocol on the wire: the 64-byte command frame, its CRC-16 and
// the acknowledgement. Every byte the host sends or examines, and every byte
// the simulated controller parses or answers, is placed here and nowhere else.
#include <array>
#include <cstddef>
#include <cstdint>

enum class BlockCommand : std::uint16_t {
    WriteMemory = 2,
    WriteImage = 3,
    Erase = 4,
    ReadMemory = 5,
    Finish = 7,
    ReadInfo = 8,
};

inline constexpr std::size_t kBlockFrameBytes = 64;
inline constexpr std::size_t kBlockHeaderBytes = 17;  // bytes before the data
inline constexpr std::uint32_t kBlockMaxData = 46;    // data bytes per frame
inline constexpr std::uint8_t kBlockMarker = 0x05;

// Field offsets of a BlockFrame (all multi-byte fields little-endian).
namespace BlockFrameOffset {
inline constexpr std::size_t Marker = 0;    // 1 byte, 0x05
inline constexpr std::size_t Command = 1;   // 2 bytes, BlockCommand
inline constexpr std::size_t Reserved = 3;  // 2 bytes
inline constexpr std::size_t Length = 5;    // 2 bytes, data bytes or bytes requested
inline constexpr std::size_t Crc = 7;       // 2 bytes
inline constexpr std::size_t Size = 9;      // 4 bytes
inline constexpr std::size_t Address = 13;  // 4 bytes
inline constexpr std::size_t Data = 17;     // up to 46 bytes
}  // namespace BlockFrameOffset

// Offsets in a response (the 64 bytes after the report ID).
namespace BlockResponseOffset {
inline constexpr std::size_t Zero = 0;      // 0x00
inline constexpr std::size_t Marker = 1;    // 0x05
inline constexpr std::size_t Status = 2;    // 2 bytes, 0
inline constexpr std::size_t Command = 4;   // 2 bytes, echo of the request
inline constexpr std::size_t Data = 18;     // data of ReadMemory and ReadInfo
}  // namespace BlockResponseOffset

inline constexpr std::size_t kBlockResponseBytes = 64;

// CRC-16/MODBUS, bit by bit. A count of zero or less gives 0xFFFF.
std::uint16_t BlockCrc16(const std::uint8_t* bytes, int count);

// The fields of one frame.
struct BlockFrameFields {
    std::uint16_t command = 0;
    std::uint16_t reserved = 0;
    std::uint16_t length = 0;  // n, at most 46
    std::uint16_t crc = 0;
    std::uint32_t size = 0;
    std::uint32_t address = 0;
};

struct BlockFrame {
    std::array<std::uint8_t, kBlockFrameBytes> bytes{};
    std::size_t wireLength = kBlockHeaderBytes;  // 17 + data bytes carried
};

// Builds a frame. n above 46 is cut to 46 in length, CRC and data; without
// data the frame carries none (length still names n, for read requests).
BlockFrame BuildBlockFrame(const std::uint8_t* data, std::uint32_t n, std::uint32_t address,
                           std::uint32_t size, std::uint16_t command, std::uint16_t reserved,
                           bool withCrc);

// Reads the fields of a frame (64 bytes, as the device receives them).
BlockFrameFields ParseBlockFrame(const std::uint8_t* frame);
// The data bytes a frame carries: `length` of them, at most 46.
const std::uint8_t* BlockFrameData(const std::uint8_t* frame);
bool HasBlockMarker(const std::uint8_t* frame);

// True when the read that filled response succeeded (readResult 0) and the
// response acknowledges command: 00 05 0000 and the command echoed.
bool IsBlockAck(std::uint32_t readResult, const std::uint8_t* response, std::uint16_t command);
// The command code a response echoes.
std::uint16_t BlockResponseCommand(const std::uint8_t* response);

// A device's acknowledgement of command carrying n data bytes (at most 46).
std::array<std::uint8_t, kBlockResponseBytes> MakeBlockAck(std::uint16_t command,
                                                           const std::uint8_t* data = nullptr,
                                                           std::uint32_t n = 0);

constexpr std::uint16_t BlockCode(BlockCommand command) { return static_cast<std::uint16_t>(command); }
