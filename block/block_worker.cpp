#include "block/block_worker.h"

#include <algorithm>
#include <cstdint>

#include "block/block_device_types.h"
#include "block/block_frame.h"
#include "block/block_primitives.h"
#include "block/owed_answers.h"
#include "engine/firmware_selection.h"
#include "engine/update_session.h"
#include "package/package_header.h"
#include "text/text_table.h"
#include "text/wformat.h"

namespace {

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

bool EraseImageRange(UpdateSession& session)
{
    const TransferRecord& t = session.transfer;
    if (!IsSpecialDeviceType(session.device.currentDeviceType))
        return BlockEraseResend(session, t.imageAddress, t.imageSize);
    // Whole erase units; a size that already is a multiple stays as it is.
    const std::uint64_t size = (t.imageSize + kEraseUnit - 1) / kEraseUnit * kEraseUnit;
    return size <= UINT32_MAX &&
           BlockErasePoll(session, t.imageAddress, static_cast<std::uint32_t>(size));
}

// Reads exactly n image bytes at offset into blockBuffer; a package that
// ends early or a read error fails.
bool ReadBlock(UpdateSession& session, std::uint32_t offset, std::uint32_t n)
{
    TransferRecord& t = session.transfer;
    const std::int64_t position = std::int64_t{t.recordOffset} + kPackageHeaderSize + offset;
    return session.packageFile.Seek(position) && session.packageFile.Read(t.blockBuffer, n) == n;
}

// The same block, at the same address, until it is acknowledged or the
// tries are used up; never skipped. A block sent more than once drains the
// answers still owed before the next block goes out.
bool SendBlock(UpdateSession& session, std::uint32_t offset, std::uint32_t n)
{
    TransferRecord& t = session.transfer;
    SendRecord sends;
    for (int tries = 0; tries < kBlockTries; ++tries) {
        const std::uint32_t address = session.device.memoryMap.imageBase + offset;
        sends.Note(session);
        if (BlockWrite(session, t.blockBuffer, address, n, t.imageSize, true)) {
            sends.DrainOwedAnswers(session);
            return true;
        }
        if (session.HidLink.DeviceGone() || session.StopRequested())
            return false;
    }
    return false;
}

// The last block is cut at the image's end: what follows in the file belongs
// to the next record and must not reach the device.
Transfer SendImage(UpdateSession& session)
{
    TransferRecord& t = session.transfer;
    session.Ui().SetProgress(ProgressPosition(t.bytesSent, t.imageSize));
    for (std::uint32_t offset = 0; offset < t.imageSize;) {
        if (session.StopRequested())
            return Transfer::Aborted;
        const std::uint32_t n = std::min(kBlockMaxData, t.imageSize - offset);
        if (!ReadBlock(session, offset, n) || !SendBlock(session, offset, n))
            return Transfer::Failed;
        offset += n;
        t.bytesSent += n;
        session.Ui().SetProgress(ProgressPosition(t.bytesSent, t.imageSize));
    }
    return session.StopRequested() ? Transfer::Aborted : Transfer::Done;
}

// Compares the written image with the package, one read of at most
// kBlockMaxData bytes at a time.
VerifyResult VerifyImage(UpdateSession& session)
{
    TransferRecord& t = session.transfer;
    std::uint8_t readBack[kBlockMaxData];
    for (std::uint32_t offset = 0; offset < t.imageSize;) {
        const std::uint32_t n = std::min(kBlockMaxData, t.imageSize - offset);
        const std::uint32_t address = session.device.memoryMap.imageBase + offset;
        if (!ReadBlock(session, offset, n))
            return {VerifyVerdict::Mismatch, address};
        if (!BlockReadMemory(session, readBack, n, address))
            return {VerifyVerdict::NoAnswer, address};
        for (std::uint32_t i = 0; i < n; ++i)
            if (readBack[i] != t.blockBuffer[i])
                return {VerifyVerdict::Mismatch, address + i};
        offset += n;
    }
    return {VerifyVerdict::Passed, 0};
}

Outcome RunUpdate(UpdateSession& session)
{
    session.verifyResult = {};
    if (!SelectAndStart(session, 0, 0) || session.StopRequested())
        return Outcome::Quiet;
    // The selection refuses empty images; nothing here may divide by one.
    if (session.transfer.imageSize == 0 || !EraseImageRange(session))
        return Outcome::Failed;
    if (!session.packageFile.Open(session.packagePath))
        return Outcome::Failed;
    Transfer sent = SendImage(session);
    if (sent == Transfer::Done && session.verifyImage) {
        session.verifyResult = VerifyImage(session);
        if (session.StopRequested())
            sent = Transfer::Aborted;
        else if (session.verifyResult.verdict != VerifyVerdict::Passed)
            sent = Transfer::Failed;
    }
    session.packageFile.Close();
    if (sent != Transfer::Done)
        return sent == Transfer::Aborted ? Outcome::Quiet : Outcome::Failed;
    if (!WriteVersionWord(session))
        return Outcome::Failed;
    // Image and version word are stored; a lost answer to Finish changes nothing.
    BlockFinish(session);
    return Outcome::Succeeded;
}

void ReportSuccess(UpdateSession& session)
{
    session.ShowMessage(WFormat(u"\n %s \n", LoadText(TextId::Success)));
    session.Ui().ShowDoneLabel();
    session.Ui().SetProgress(0);
}

}  // namespace

unsigned BlockUpdateThread(UpdateSession& session)
{
    const Outcome outcome = RunUpdate(session);
    // A stopped update shows nothing more.
    if (!session.StopRequested()) {
        if (outcome == Outcome::Succeeded)
            ReportSuccess(session);
        else if (outcome == Outcome::Failed)
            session.ShowMessage(WFormat(u"%s\n", LoadText(TextId::Failure)));
    }
    session.StopFlag = 1;
    session.RefreshUpdateButton();
    return 0;
}
