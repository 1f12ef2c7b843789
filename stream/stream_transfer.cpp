// The answer to each SET_FIRMWARE_DATA request, by the stream phase: open
// the package and send the first chunk, the next chunk, or finish.
#include "base/diagnostics.h"
#include "engine/outcome_messages.h"
#include "engine/update_session.h"
#include "stream/stream_dispatch.h"
#include "stream/stream_frame.h"
#include "stream/stream_send.h"
#include "text/wformat.h"

namespace {

constexpr std::size_t kChunkBytes = 32;

struct Link {
    std::int32_t handle;
    std::uint8_t selector;
};

// Reads the next chunk into blockBuffer. False on an I/O error.
bool ReadChunk(UpdateSession& session, std::size_t& got)
{
    got = session.packageFile.Read(session.transfer.blockBuffer, kChunkBytes);
    return !session.packageFile.LastReadFailed();
}

void SendChunk(UpdateSession& session, Link link, std::size_t got)
{
    SendDataPacket(session, link.handle, link.selector, session.transfer.blockBuffer,
                   static_cast<std::int32_t>(got));
    session.transfer.bytesSent += static_cast<std::uint32_t>(got);
}

void SendFirstChunk(UpdateSession& session, StreamState& state, Link link)
{
    if (!session.packageFile.Open(session.packagePath))
        return;  // unanswered; the next request tries again
    state.phase = StreamPhase::NextChunk;
    const std::int64_t imageStart =
        std::int64_t{session.transfer.recordOffset} + kPackageHeaderSize;
    std::size_t got = 0;
    if (!session.packageFile.Seek(imageStart) || !ReadChunk(session, got)) {
        FailTransfer(session, state);
        return;
    }
    SendChunk(session, link, got);
    DebugOut(WFormat(u"update file is 0x%x\n", session.transfer.imageSize));
}

int ProgressOf(const TransferRecord& t)
{
    if (t.imageSize == 0)
        return 0;
    return static_cast<int>(std::uint64_t{t.bytesSent} * 100 / t.imageSize);
}

void FinishImage(UpdateSession& session, StreamState& state)
{
    session.packageFile.Close();
    DebugOut(u"update successful\n");
    state.phase = StreamPhase::ImageSent;
    state.imageSent = true;
    session.Ui().EnableUpdateButton(true);
}

void SendNextChunk(UpdateSession& session, StreamState& state, Link link)
{
    TransferRecord& t = session.transfer;
    std::size_t got = 0;
    // Nothing left to read while image bytes are still owed: the package
    // changed under the transfer, and the controller would ask for ever.
    if (!ReadChunk(session, got) || (got == 0 && t.bytesSent < t.imageSize)) {
        FailTransfer(session, state);
        return;
    }
    SendChunk(session, link, got);
    DebugOut(WFormat(u"\nSET_FIRMWARE_DATA read_pos %d offset 0x%x\n\n",
                     static_cast<std::int32_t>(got), t.bytesSent));
    session.Ui().SetProgress(ProgressOf(t));
    if (t.bytesSent >= t.imageSize)
        FinishImage(session, state);
}

// The controller may rely on END_UPDATE whenever it asks in ImageSent; the
// success is shown only when this update sent the whole image. During an
// update that sent none, the user learns that it failed.
void EndUpdate(UpdateSession& session, StreamState& state, Link link)
{
    SendFirmwarePacket(session, link.handle, link.selector, END_UPDATE, nullptr, 0);
    state.readLoopEnded = true;
    if (!state.imageSent) {
        DebugOut(u"END_UPDATE without an image sent by this update\n");
        if (session.Updating())
            ReportFailure(session, state);
        return;
    }
    ShowSuccess(session);
    state.outcome = UpdateOutcome::Succeeded;
}

}  // namespace

void AnswerFirmwareDataRequest(UpdateSession& session, StreamState& state,
                               std::int32_t transportHandle, std::uint8_t transportSelector)
{
    const Link link{transportHandle, transportSelector};
    switch (state.phase) {
    case StreamPhase::FirstChunk:
        SendFirstChunk(session, state, link);
        break;
    case StreamPhase::NextChunk:
        SendNextChunk(session, state, link);
        break;
    case StreamPhase::ImageSent:
        EndUpdate(session, state, link);
        break;
    case StreamPhase::NoTransfer:
        break;
    }
}
