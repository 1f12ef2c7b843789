// The answer to each SET_FIRMWARE_DATA request, by TransferState:
// 1 open the package and send the first chunk, 2 the next chunk, 3 finish.
#include "base/diagnostics.h"
#include "engine/update_session.h"
#include "stream/stream_dispatch.h"
#include "stream/stream_frame.h"
#include "stream/stream_send.h"
#include "text/text_table.h"
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

void SendFirstChunk(UpdateSession& session, Link link)
{
    if (!session.packageFile.Open(session.packagePath))
        return;  // unanswered; the next request tries again
    session.TransferState = 2;
    const std::int64_t imageStart =
        std::int64_t{session.transfer.recordOffset} + kPackageHeaderSize;
    std::size_t got = 0;
    if (!session.packageFile.Seek(imageStart) || !ReadChunk(session, got)) {
        FailTransfer(session);
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

void FinishImage(UpdateSession& session)
{
    session.packageFile.Close();
    DebugOut(u"update successful\n");
    session.TransferState = 3;
    session.imageSent = true;
    session.Ui().EnableUpdateButton(true);
}

void SendNextChunk(UpdateSession& session, Link link)
{
    TransferRecord& t = session.transfer;
    std::size_t got = 0;
    // Nothing left to read while image bytes are still owed: the package
    // changed under the transfer, and the controller would ask for ever.
    if (!ReadChunk(session, got) || (got == 0 && t.bytesSent < t.imageSize)) {
        FailTransfer(session);
        return;
    }
    SendChunk(session, link, got);
    DebugOut(WFormat(u"\nSET_FIRMWARE_DATA read_pos %d offset 0x%x\n\n",
                     static_cast<std::int32_t>(got), t.bytesSent));
    session.Ui().SetProgress(ProgressOf(t));
    if (t.bytesSent >= t.imageSize)
        FinishImage(session);
}

// The controller may rely on END_UPDATE whenever it asks in state 3; the
// success is shown only when this update sent the whole image. During an
// update that sent none, the user learns that it failed.
void EndUpdate(UpdateSession& session, Link link)
{
    SendFirmwarePacket(session, link.handle, link.selector, END_UPDATE, nullptr, 0);
    session.StopFlag = 1;
    if (!session.imageSent) {
        DebugOut(u"END_UPDATE without an image sent by this update\n");
        if (session.updating)
            ShowStreamMessage(session, WFormat(u"%s\n", LoadText(TextId::Failure)));
        return;
    }
    ShowStreamMessage(session, WFormat(u"\n %s \n", LoadText(TextId::Success)));
    session.Ui().ShowDoneLabel();
    session.Ui().SetProgress(0);
}

}  // namespace

void AnswerFirmwareDataRequest(UpdateSession& session, std::int32_t transportHandle,
                               std::uint8_t transportSelector)
{
    const Link link{transportHandle, transportSelector};
    switch (session.TransferState) {
    case 1:
        SendFirstChunk(session, link);
        break;
    case 2:
        SendNextChunk(session, link);
        break;
    case 3:
        EndUpdate(session, link);
        break;
    default:
        break;
    }
}
