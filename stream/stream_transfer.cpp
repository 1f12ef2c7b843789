// The answer to each SET_FIRMWARE_DATA request, by TransferState:
// 1 open the package and send the first chunk, 2 the next chunk, 3 finish.
#include "app/diagnostics.h"
#include "app/process_state.h"
#include "app/text_table.h"
#include "app/update_dlg.h"
#include "app/wformat.h"
#include "stream/stream_dispatch.h"
#include "stream/stream_frame.h"

namespace {

constexpr int kTextSuccess = 4;
constexpr std::size_t kChunkBytes = 32;

struct Link {
    std::int32_t handle;
    std::uint8_t selector;
};

// Reads the next chunk into blockBuffer. False on an I/O error.
bool ReadChunk(CUpdateDlg& dlg, std::size_t& got)
{
    got = dlg.packageFile.Read(dlg.transfer.blockBuffer, kChunkBytes);
    return !dlg.packageFile.LastReadFailed();
}

void SendChunk(CUpdateDlg& dlg, Link link, std::size_t got)
{
    SendDataPacket(link.handle, link.selector, dlg.transfer.blockBuffer,
                   static_cast<std::int32_t>(got));
    dlg.transfer.bytesSent += static_cast<std::uint32_t>(got);
}

void SendFirstChunk(CUpdateDlg& dlg, Link link)
{
    if (!dlg.packageFile.Open(dlg.packagePath))
        return;  // unanswered; the next request tries again
    TransferState = 2;
    const std::int64_t imageStart = std::int64_t{dlg.transfer.recordOffset} + kPackageHeaderSize;
    std::size_t got = 0;
    if (!dlg.packageFile.Seek(imageStart) || !ReadChunk(dlg, got)) {
        FailTransfer();
        return;
    }
    SendChunk(dlg, link, got);
    DebugOut(WFormat(u"update file is 0x%x\n", dlg.transfer.imageSize));
}

int ProgressOf(const TransferRecord& t)
{
    if (t.imageSize == 0)
        return 0;
    return static_cast<int>(std::uint64_t{t.bytesSent} * 100 / t.imageSize);
}

void FinishImage(CUpdateDlg& dlg)
{
    dlg.packageFile.Close();
    DebugOut(u"update successful\n");
    TransferState = 3;
    if (CControl* button = UpdateButton.load())
        button->EnableWindow(true);
}

void SendNextChunk(CUpdateDlg& dlg, Link link)
{
    TransferRecord& t = dlg.transfer;
    std::size_t got = 0;
    // Nothing left to read while image bytes are still owed: the package
    // changed under the transfer, and the controller would ask for ever.
    if (!ReadChunk(dlg, got) || (got == 0 && t.bytesSent < t.imageSize)) {
        FailTransfer();
        return;
    }
    SendChunk(dlg, link, got);
    DebugOut(WFormat(u"\nSET_FIRMWARE_DATA read_pos %d offset 0x%x\n\n",
                     static_cast<std::int32_t>(got), t.bytesSent));
    dlg.SetProgress(ProgressOf(t));
    if (t.bytesSent >= t.imageSize)
        FinishImage(dlg);
}

void EndUpdate(CUpdateDlg& dlg, Link link)
{
    SendFirmwarePacket(link.handle, link.selector, END_UPDATE, nullptr, 0);
    StopFlag = 1;
    ShowStreamMessage(WFormat(u"\n %s \n", LoadText(kTextSuccess)));
    if (CControl* label = DoneLabel.load())
        label->ShowWindow(true);
    dlg.SetProgress(0);
}

}  // namespace

void AnswerFirmwareDataRequest(std::int32_t transportHandle, std::uint8_t transportSelector)
{
    CUpdateDlg* dlg = ActiveDialog.load();
    if (!dlg)
        return;
    const Link link{transportHandle, transportSelector};
    switch (TransferState.load()) {
    case 1:
        SendFirstChunk(*dlg, link);
        break;
    case 2:
        SendNextChunk(*dlg, link);
        break;
    case 3:
        EndUpdate(*dlg, link);
        break;
    default:
        break;
    }
}
