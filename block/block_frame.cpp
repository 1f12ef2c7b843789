#include "block/block_frame.h"

#include <algorithm>
#include <cstring>

#include "base/little_endian.h"

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
    PutLe16(&b[at::Command], command);
    PutLe16(&b[at::Reserved], reserved);
    PutLe16(&b[at::Length], static_cast<std::uint16_t>(n));
    PutLe32(&b[at::Size], size);
    PutLe32(&b[at::Address], address);
    // A CRC without data is that of no bytes.
    if (withCrc)
        PutLe16(&b[at::Crc], BlockCrc16(data, data ? static_cast<int>(n) : 0));
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
    f.command = GetLe16(frame + at::Command);
    f.reserved = GetLe16(frame + at::Reserved);
    f.length = std::min<std::uint16_t>(GetLe16(frame + at::Length), kBlockMaxData);
    f.crc = GetLe16(frame + at::Crc);
    f.size = GetLe32(frame + at::Size);
    f.address = GetLe32(frame + at::Address);
    return f;
}

const std::uint8_t* BlockFrameData(const std::uint8_t* frame) { return frame + BlockFrameOffset::Data; }

bool HasBlockMarker(const std::uint8_t* frame) { return frame[BlockFrameOffset::Marker] == kBlockMarker; }

std::uint16_t BlockResponseCommand(const std::uint8_t* response)
{
    return GetLe16(response + BlockResponseOffset::Command);
}

bool IsBlockAck(std::uint32_t readResult, const std::uint8_t* response, std::uint16_t command)
{
    namespace at = BlockResponseOffset;
    return readResult == 0 && response[at::Zero] == 0x00 && response[at::Marker] == kBlockMarker &&
           GetLe16(response + at::Status) == 0 && BlockResponseCommand(response) == command;
}

std::array<std::uint8_t, kBlockResponseBytes> MakeBlockAck(std::uint16_t command,
                                                           const std::uint8_t* data,
                                                           std::uint32_t n)
{
    namespace at = BlockResponseOffset;
    std::array<std::uint8_t, kBlockResponseBytes> response{};
    response[at::Marker] = kBlockMarker;
    PutLe16(&response[at::Command], command);
    if (data)
        std::memcpy(&response[at::Data], data, std::min(n, kBlockMaxData));
    return response;
}
