#pragma once
// The four stream senders. They write through the session's link.
// transportHandle is not used by the HID link; any selector but kHidTransport
// writes nothing and gives -1.
#include <cstdint>

struct TransferRecord;
class UpdateSession;

// WriteHid's result (non-zero written, 0 not).
int SendShortMessage(UpdateSession& session, std::int32_t transportHandle,
                     std::uint8_t transportSelector, std::uint8_t type, std::uint8_t value);
// A frame sent whole gives WriteHid's result (0 when its payload is beyond
// 56 bytes: nothing written). IMAGE_DATA gives -1 whatever the outcome
// (nothing written beyond 1017 payload bytes).
int SendFirmwarePacket(UpdateSession& session, std::int32_t transportHandle,
                       std::uint8_t transportSelector, std::uint8_t command,
                       const std::uint8_t* payload, std::int32_t payloadLength);
// START_UPDATE with packageVersionWord, imageAddress and imageSize; the 16
// reserved bytes are zeros.
int SendStartPacket(UpdateSession& session, std::int32_t transportHandle,
                    std::uint8_t transportSelector, const TransferRecord& record);
// IMAGE_DATA with the chunk.
int SendDataPacket(UpdateSession& session, std::int32_t transportHandle,
                   std::uint8_t transportSelector, const std::uint8_t* chunk,
                   std::int32_t chunkLength);
