#include "block/block_worker.h"

#include <algorithm>
#include <cstdint>

#include "app/control.h"
#include "app/process_state.h"
#include "app/text_table.h"
#include "app/update_dlg.h"
#include "app/wformat.h"
#include "block/block_device_types.h"
#include "block/block_frame.h"
#include "block/block_primitives.h"
#include "package/firmware_selection.h"
#include "package/package_header.h"

namespace {

constexpr int kTextSuccess = 4;
constexpr int kTextFailure = 7;
constexpr std::uint64_t kEraseUnit = 0x8000;
// Each try is one frame and up to 100 polls.
constexpr int kBlockTries = 5;

enum class Outcome { Quiet, Failed, Succeeded };
enum class Transfer { Done, Failed, Aborted };

int ProgressPosition(std::uint32_t bytesSent, std::uint32_t imageSize)
{
    // 64-bit so a large image cannot wrap the product.
    return static_cast<int>(std::uint64_t{bytesSent} * 100 / imageSize);
}

bool EraseImageRange(CUpdateDlg& dlg)
{
    const TransferRecord& t = dlg.transfer;
    if (!IsSpecialDeviceType(dlg.currentDeviceType))
        return BlockEraseResend(dlg, t.imageAddress, t.imageSize);
    // Whole erase units; a size that already is a multiple stays as it is.
    const std::uint64_t size = (t.imageSize + kEraseUnit - 1) / kEraseUnit * kEraseUnit;
    return size <= UINT32_MAX && BlockErasePoll(dlg, t.imageAddress, static_cast<std::uint32_t>(size));
}

// Reads exactly n image bytes at offset into blockBuffer; a package that
// ends early or a read error fails.
bool ReadBlock(CUpdateDlg& dlg, std::uint32_t offset, std::uint32_t n)
{
    TransferRecord& t = dlg.transfer;
    const std::int64_t position = std::int64_t{t.recordOffset} + kPackageHeaderSize + offset;
    return dlg.packageFile.Seek(position) && dlg.packageFile.Read(t.blockBuffer, n) == n;
}

// The same block, at the same address, until it is acknowledged or the
// tries are used up; never skipped.
bool SendBlock(CUpdateDlg& dlg, std::uint32_t offset, std::uint32_t n)
{
    TransferRecord& t = dlg.transfer;
    for (int tries = 0; tries < kBlockTries; ++tries) {
        if (BlockWrite(dlg, t.blockBuffer, dlg.memoryMap.imageBase + offset, n, t.imageSize, true))
            return true;
        if (dlg.HidLink.DeviceGone())
            return false;
    }
    return false;
}

// The last block is cut at the image's end: what follows in the file belongs
// to the next record and must not reach the device.
Transfer SendImage(CUpdateDlg& dlg)
{
    TransferRecord& t = dlg.transfer;
    dlg.SetProgress(ProgressPosition(t.bytesSent, t.imageSize));
    for (std::uint32_t offset = 0; offset < t.imageSize;) {
        if (dlg.AbortRequested())
            return Transfer::Aborted;
        const std::uint32_t n = std::min(kBlockMaxData, t.imageSize - offset);
        if (!ReadBlock(dlg, offset, n) || !SendBlock(dlg, offset, n))
            return Transfer::Failed;
        offset += n;
        t.bytesSent += n;
        dlg.SetProgress(ProgressPosition(t.bytesSent, t.imageSize));
    }
    return dlg.AbortRequested() ? Transfer::Aborted : Transfer::Done;
}

Outcome RunUpdate(CUpdateDlg& dlg)
{
    if (!SelectFirmwarePackage(0, 0) || dlg.AbortRequested())
        return Outcome::Quiet;
    // The selection refuses empty images; nothing here may divide by one.
    if (dlg.transfer.imageSize == 0 || !EraseImageRange(dlg))
        return Outcome::Failed;
    if (!dlg.packageFile.Open(dlg.packagePath))
        return Outcome::Failed;
    const Transfer sent = SendImage(dlg);
    dlg.packageFile.Close();
    if (sent != Transfer::Done)
        return sent == Transfer::Aborted ? Outcome::Quiet : Outcome::Failed;
    if (!WriteVersionWord(dlg))
        return Outcome::Failed;
    // Image and version word are stored; a lost answer to Finish changes nothing.
    BlockFinish(dlg);
    return Outcome::Succeeded;
}

void ReportSuccess(CUpdateDlg& dlg)
{
    dlg.ShowMessage(WFormat(u"\n %s \n", LoadText(kTextSuccess)));
    if (CControl* label = DoneLabel)
        label->ShowWindow(true);
    dlg.SetProgress(0);
}

}  // namespace

unsigned BlockUpdateThread(void*)
{
    CUpdateDlg* dlg = ActiveDialog;
    if (!dlg)
        return 0;
    const Outcome outcome = RunUpdate(*dlg);
    // A closing dialog shows nothing more.
    if (!dlg->AbortRequested()) {
        if (outcome == Outcome::Succeeded)
            ReportSuccess(*dlg);
        else if (outcome == Outcome::Failed)
            dlg->ShowMessage(WFormat(u"%s\n", LoadText(kTextFailure)));
    }
    StopFlag = 1;
    dlg->RefreshUpdateButton();
    return 0;
}
