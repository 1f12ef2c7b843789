// The four senders: frames go out through WriteHid of the session's link.
#include "stream/stream_send.h"

#include <algorithm>
#include <cstring>

#include "base/diagnostics.h"
#include "engine/update_session.h"
#include "stream/stream_frame.h"
#include "text/wformat.h"

using namespace stream_frame;

namespace {

// What a wrong selector gives, and IMAGE_DATA whatever its outcome.
constexpr int kNoResult = -1;

// Hands WriteHid the count byte and up to 63 frame bytes.
int WriteReport(CHid& link, std::span<const std::uint8_t> piece)
{
    std::uint8_t report[kReportBytes];
    const std::size_t n = PutReport(piece, report);
    return link.WriteHid(report, static_cast<std::uint8_t>(n));
}

// IMAGE_DATA: pieces of at most 39 frame bytes, each in a report of its own;
// a failed piece ends the frame.
void SendInPieces(CHid& link, std::span<const std::uint8_t> frame)
{
    std::size_t offset = 0;
    while (offset < frame.size()) {
        const std::size_t piece = std::min(frame.size() - offset, kPieceBytes);
        if (!WriteReport(link, frame.subspan(offset, piece))) {
            DebugOut(u"WriteHid error\n");
            return;
        }
        DebugOut(WFormat(u"WriteHid %d btye sucessful\n", static_cast<std::int32_t>(piece)));
        offset += piece;
    }
}

}  // namespace

int SendShortMessage(UpdateSession& session, std::int32_t, std::uint8_t transportSelector,
                     std::uint8_t type, std::uint8_t value)
{
    if (transportSelector != kHidTransport)
        return kNoResult;
    return WriteReport(session.HidLink, BuildShortMessage(type, value).View());
}

int SendFirmwarePacket(UpdateSession& session, std::int32_t, std::uint8_t transportSelector,
                       std::uint8_t command, const std::uint8_t* payload,
                       std::int32_t payloadLength)
{
    if (transportSelector != kHidTransport)
        return kNoResult;
    const bool inPieces = command == IMAGE_DATA;
    if (!inPieces && payloadLength > kMaxWholePayload)
        return 0;
    Frame frame;
    if (!BuildCommandFrame(command, payload, payloadLength, frame))
        return kNoResult;
    if (inPieces) {
        SendInPieces(session.HidLink, frame.View());
        return kNoResult;
    }
    DebugOut(WFormat(u"SendFirmwarePacket cmd %d\n", static_cast<std::int32_t>(command)));
    return WriteReport(session.HidLink, frame.View());
}

int SendStartPacket(UpdateSession& session, std::int32_t transportHandle,
                    std::uint8_t transportSelector, const TransferRecord& record)
{
    const auto payload =
        BuildStartPayload(record.packageVersionWord, record.imageAddress, record.imageSize);
    return SendFirmwarePacket(session, transportHandle, transportSelector, START_UPDATE, payload.data(),
                              static_cast<std::int32_t>(payload.size()));
}

int SendDataPacket(UpdateSession& session, std::int32_t transportHandle,
                   std::uint8_t transportSelector, const std::uint8_t* chunk,
                   std::int32_t chunkLength)
{
    return SendFirmwarePacket(session, transportHandle, transportSelector, IMAGE_DATA, chunk, chunkLength);
}
