#include "block/block_frame.h"

#include <algorithm>
#include <cstring>

namespace {

void StoreLe16(std::uint8_t* p, std::uint16_t value)
{
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

std::uint16_t LoadLe16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

std::uint32_t LoadLe32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void StoreLe32(std::uint8_t* p, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint16_t BlockCrc16(const std::uint8_t* bytes, int count)
{
    static constexpr std::uint16_t kTable[2] = {0x0000, 0xA001};
    std::uint16_t crc = 0xFFFF;
    for (int i = 0; i < count; ++i) {
        std::uint8_t byte = bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            const unsigned low = (crc ^ byte) & 1u;
            crc = static_cast<std::uint16_t>((crc >> 1) ^ kTable[low]);
            byte = static_cast<std::uint8_t>(byte >> 1);
        }
    }
    return crc;
}

BlockFrame BuildBlockFrame(const std::uint8_t* data, std::uint32_t n, std::uint32_t address,
                           std::uint32_t size, std::uint16_t command, std::uint16_t reserved,
                           bool withCrc)
{
    namespace at = BlockFrameOffset;
    BlockFrame frame;
    auto& b = frame.bytes;
    b[at::Marker] = kBlockMarker;
    n = std::min(n, kBlockMaxData);
    StoreLe16(&b[at::Command], command);
    StoreLe16(&b[at::Reserved], reserved);
    StoreLe16(&b[at::Length], static_cast<std::uint16_t>(n));
    StoreLe32(&b[at::Size], size);
    StoreLe32(&b[at::Address], address);
    // A CRC without data is that of no bytes.
    if (withCrc)
        StoreLe16(&b[at::Crc], BlockCrc16(data, data ? static_cast<int>(n) : 0));
    if (data) {
        std::memcpy(&b[at::Data], data, n);
        frame.wireLength = kBlockHeaderBytes + n;
    }
    return frame;
}

BlockFrameFields ParseBlockFrame(const std::uint8_t* frame)
{
    namespace at = BlockFrameOffset;
    BlockFrameFields f;
    f.command = LoadLe16(frame + at::Command);
    f.reserved = LoadLe16(frame + at::Reserved);
    f.length = std::min<std::uint16_t>(LoadLe16(frame + at::Length), kBlockMaxData);
    f.crc = LoadLe16(frame + at::Crc);
    f.size = LoadLe32(frame + at::Size);
    f.address = LoadLe32(frame + at::Address);
    return f;
}

const std::uint8_t* BlockFrameData(const std::uint8_t* frame) { return frame + BlockFrameOffset::Data; }

bool HasBlockMarker(const std::uint8_t* frame) { return frame[BlockFrameOffset::Marker] == kBlockMarker; }

std::uint16_t BlockResponseCommand(const std::uint8_t* response)
{
    return LoadLe16(response + BlockResponseOffset::Command);
}

bool IsBlockAck(std::uint32_t readResult, const std::uint8_t* response, std::uint16_t command)
{
    namespace at = BlockResponseOffset;
    return readResult == 0 && response[at::Zero] == 0x00 && response[at::Marker] == kBlockMarker &&
           LoadLe16(response + at::Status) == 0 && BlockResponseCommand(response) == command;
}

std::array<std::uint8_t, kBlockResponseBytes> MakeBlockAck(std::uint16_t command,
                                                           const std::uint8_t* data,
                                                           std::uint32_t n)
{
    namespace at = BlockResponseOffset;
    std::array<std::uint8_t, kBlockResponseBytes> response{};
    response[at::Marker] = kBlockMarker;
    StoreLe16(&response[at::Command], command);
    if (data)
        std::memcpy(&response[at::Data], data, std::min(n, kBlockMaxData));
    return response;
}
