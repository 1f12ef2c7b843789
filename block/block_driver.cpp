#include "block/block_driver.h"

#include <algorithm>
#include <cstdint>

#include "block/block_device_types.h"
#include "block/block_frame.h"
#include "block/block_identify.h"
#include "block/block_primitives.h"
#include "block/block_timing.h"
#include "block/owed_answers.h"
#include "engine/firmware_selection.h"
#include "engine/outcome_messages.h"
#include "engine/update_session.h"
#include "package/package_header.h"

namespace {

constexpr std::uint64_t kEraseUnit = 0x8000;

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

UpdateOutcome Update(UpdateSession& session, VerifyResult& verify)
{
    if (!SelectAndStart(session) || session.StopRequested())
        return UpdateOutcome::Quiet;
    // The selection refuses empty images; nothing here may divide by one.
    if (session.transfer.imageSize == 0 || !EraseImageRange(session))
        return UpdateOutcome::Failed;
    if (!session.packageFile.Open(session.packagePath))
        return UpdateOutcome::Failed;
    Transfer sent = SendImage(session);
    if (sent == Transfer::Done && session.Options().verifyImage) {
        verify = VerifyImage(session);
        if (session.StopRequested())
            sent = Transfer::Aborted;
        else if (verify.verdict != VerifyVerdict::Passed)
            sent = Transfer::Failed;
    }
    session.packageFile.Close();
    if (sent != Transfer::Done)
        return sent == Transfer::Aborted ? UpdateOutcome::Quiet : UpdateOutcome::Failed;
    if (!WriteVersionWord(session))
        return UpdateOutcome::Failed;
    // Image and version word are stored; a lost answer to Finish changes nothing.
    BlockFinish(session);
    return UpdateOutcome::Succeeded;
}

}  // namespace

std::uint32_t BlockDriver::Variant() const { return kProtocolBlock; }

void BlockDriver::Identify(UpdateSession& session)
{
    session.device = IdentifyBlockDevice(session, session.device);
}

std::optional<std::uint32_t> BlockDriver::RecordType(const DeviceDescription& device) const
{
    if (IsSpecialDeviceType(device.currentDeviceType))
        return device.currentDeviceType;
    return std::nullopt;
}

bool BlockDriver::RecordFits(const DeviceDescription& device, const PackageHeader& header) const
{
    return !IsSpecialDeviceType(device.currentDeviceType) || IsSpecialDeviceType(header.deviceType);
}

UpdateResult BlockDriver::RunUpdate(UpdateSession& session)
{
    UpdateResult result;
    result.outcome = Update(session, result.verify);
    // A stopped update shows nothing more.
    if (session.StopRequested())
        result.outcome = UpdateOutcome::Quiet;
    else if (result.outcome == UpdateOutcome::Succeeded)
        ShowSuccess(session);
    else if (result.outcome == UpdateOutcome::Failed)
        ShowFailure(session);
    session.RefreshUpdateButton();
    return result;
}
