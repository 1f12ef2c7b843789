#include "block/block_primitives.h"

#include <algorithm>
#include <cstring>

#include "app/update_dlg.h"
#include "block/block_device_types.h"
#include "block/block_frame.h"
#include "hid/hid.h"

namespace {

constexpr std::uint32_t kEraseSettleMs = 1000;
constexpr std::uint32_t kEraseResendPauseMs = 200;
constexpr std::uint32_t kErasePollPauseMs = 500;
constexpr int kReadTries = 5;
constexpr int kEraseResendPolls = 3;
constexpr int kErasePolls = 20;
constexpr int kWritePolls = 100;
constexpr std::uint32_t kVersionEraseBytes = 32;
constexpr std::uint32_t kVersionWordBytes = 4;
// The HID driver buffers a few dozen reports at most.
constexpr int kMaxStaleReports = 64;

std::uint32_t Poll(CUpdateDlg& dlg) { return dlg.HidLink.ReadHid(ReportIn, sizeof ReportIn); }

bool PollAck(CUpdateDlg& dlg, BlockCommand command)
{
    const std::uint32_t result = Poll(dlg);
    return IsBlockAck(result, ReportIn, BlockCode(command));
}

// Responses carry no sequence number, so a report already queued when a
// request goes out (a late or repeated answer to an earlier one) would pass
// for its acknowledgement: a block the device never got could count as
// written. Such reports are dropped before each new request. Re-sends of the
// same request keep theirs: a late answer to an identical request is valid.
void DiscardStaleInput(CUpdateDlg& dlg)
{
    CHid& link = dlg.HidLink;
    const std::uint32_t saved = link.m_ReadTimeout;
    link.SetReadTimeout(0);
    std::uint8_t scratch[64];
    for (int i = 0; i < kMaxStaleReports && link.ReadHid(scratch, sizeof scratch) == kReadOk; ++i) {
    }
    link.SetReadTimeout(saved);
}

int SendErase(CUpdateDlg& dlg, std::uint32_t address, std::uint32_t size)
{
    return SendBlockCommand(dlg, nullptr, 0, address, size, BlockCode(BlockCommand::Erase), 0, false);
}

int ReadRequest(CUpdateDlg& dlg, BlockCommand command, std::uint8_t* dest, std::uint32_t n,
                std::uint32_t address)
{
    DiscardStaleInput(dlg);
    auto send = [&] { SendBlockCommand(dlg, nullptr, n, address, n, BlockCode(command), 0, false); };
    send();
    for (int tries = 0; tries < kReadTries; ++tries) {
        const std::uint32_t result = Poll(dlg);
        if (IsBlockAck(result, ReportIn, BlockCode(command))) {
            std::memcpy(dest, ReportIn + BlockResponseOffset::Data, std::min(n, kBlockMaxData));
            return 1;
        }
        if (result != kReadOk)
            send();
    }
    return 0;
}

}  // namespace

int SendBlockCommand(CUpdateDlg& dlg, const std::uint8_t* data, std::uint32_t n,
                     std::uint32_t address, std::uint32_t size, std::uint16_t command,
                     std::uint16_t reserved, bool withCrc)
{
    const BlockFrame frame = BuildBlockFrame(data, n, address, size, command, reserved, withCrc);
    return dlg.HidLink.WriteHid(frame.bytes.data(), static_cast<std::uint8_t>(frame.wireLength));
}

int BlockReadMemory(CUpdateDlg& dlg, std::uint8_t* dest, std::uint32_t n, std::uint32_t address)
{
    return ReadRequest(dlg, BlockCommand::ReadMemory, dest, n, address);
}

int BlockReadInfo(CUpdateDlg& dlg, std::uint8_t* dest, std::uint32_t n)
{
    return ReadRequest(dlg, BlockCommand::ReadInfo, dest, n, 0);
}

int BlockEraseResend(CUpdateDlg& dlg, std::uint32_t address, std::uint32_t size)
{
    DiscardStaleInput(dlg);
    SendErase(dlg, address, size);
    dlg.Clock().SleepMs(kEraseSettleMs);
    for (int polls = 0; polls < kEraseResendPolls; ++polls) {
        if (PollAck(dlg, BlockCommand::Erase))
            return 1;
        SendErase(dlg, address, size);
        dlg.Clock().SleepMs(kEraseResendPauseMs);
    }
    return 0;
}

int BlockErasePoll(CUpdateDlg& dlg, std::uint32_t address, std::uint32_t size)
{
    DiscardStaleInput(dlg);
    SendErase(dlg, address, size);
    dlg.Clock().SleepMs(kEraseSettleMs);
    for (int polls = 0; polls < kErasePolls; ++polls) {
        if (PollAck(dlg, BlockCommand::Erase))
            return 1;
        dlg.Clock().SleepMs(kErasePollPauseMs);
    }
    return 0;
}

int BlockWrite(CUpdateDlg& dlg, const std::uint8_t* data, std::uint32_t address, std::uint32_t n,
               std::uint32_t size, bool isImage)
{
    const BlockCommand command = isImage ? BlockCommand::WriteImage : BlockCommand::WriteMemory;
    DiscardStaleInput(dlg);
    SendBlockCommand(dlg, data, n, address, size, BlockCode(command), 0,
                     IsSpecialDeviceType(dlg.currentDeviceType));
    for (int polls = 0; polls < kWritePolls; ++polls)
        if (PollAck(dlg, command))
            return 1;
    return 0;
}

int BlockFinish(CUpdateDlg& dlg)
{
    DiscardStaleInput(dlg);
    SendBlockCommand(dlg, nullptr, 0, 0, 0, BlockCode(BlockCommand::Finish), 0, false);
    return PollAck(dlg, BlockCommand::Finish) ? 1 : 0;
}

int WriteVersionWord(CUpdateDlg& dlg)
{
    const std::uint32_t address = dlg.memoryMap.versionAddress;
    if (IsSpecialDeviceType(dlg.currentDeviceType) &&
        !BlockErasePoll(dlg, address, kVersionEraseBytes))
        return 0;
    std::uint8_t word[kVersionWordBytes];
    StoreLe32(word, dlg.transfer.packageVersionWord);
    return BlockWrite(dlg, word, address, kVersionWordBytes, kVersionWordBytes, false);
}
