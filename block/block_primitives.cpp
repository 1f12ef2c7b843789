#include "block/block_primitives.h"

#include <algorithm>
#include <cstring>

#include "base/little_endian.h"
#include "block/block_device_types.h"
#include "block/block_frame.h"
#include "block/block_timing.h"
#include "block/owed_answers.h"
#include "engine/update_session.h"

namespace {

constexpr std::uint32_t kVersionEraseBytes = 32;
constexpr std::uint32_t kVersionWordBytes = 4;
// The HID driver buffers a few dozen reports at most.
constexpr int kMaxStaleReports = 64;

std::uint32_t Poll(UpdateSession& session)
{
    CHid& link = session.HidLink;
    return link.ReadHid(link.ReportIn, sizeof link.ReportIn);
}

bool PollAck(UpdateSession& session, BlockCommand command)
{
    const std::uint32_t result = Poll(session);
    return IsBlockAck(result, session.HidLink.ReportIn, BlockCode(command));
}

// Responses carry no sequence number, so a report already queued when a
// request goes out (a late or repeated answer to an earlier one) would pass
// for its acknowledgement: a block the device never got could count as
// written. Such reports are dropped before each new request. Re-sends of the
// same request keep theirs: a late answer to an identical request is valid.
void DiscardStaleInput(UpdateSession& session)
{
    CHid& link = session.HidLink;
    const std::uint32_t saved = link.m_ReadTimeout;
    link.SetReadTimeout(0);
    std::uint8_t scratch[64];
    for (int i = 0; i < kMaxStaleReports && link.ReadHid(scratch, sizeof scratch) == kReadOk; ++i) {
    }
    link.SetReadTimeout(saved);
}

int SendErase(UpdateSession& session, std::uint32_t address, std::uint32_t size)
{
    return SendBlockCommand(session, nullptr, 0, address, size, BlockCode(BlockCommand::Erase), 0,
                            false);
}

int ReadRequest(UpdateSession& session, BlockCommand command, std::uint8_t* dest,
                std::uint32_t n, std::uint32_t address)
{
    DiscardStaleInput(session);
    auto send = [&] {
        SendBlockCommand(session, nullptr, n, address, n, BlockCode(command), 0, false);
    };
    send();
    const std::uint8_t* answer = session.HidLink.ReportIn;
    for (int tries = 0; tries < kReadTries && !session.StopRequested(); ++tries) {
        const std::uint32_t result = Poll(session);
        if (IsBlockAck(result, answer, BlockCode(command))) {
            std::memcpy(dest, answer + BlockResponseOffset::Data, std::min(n, kBlockMaxData));
            return 1;
        }
        if (result != kReadOk)
            send();
    }
    return 0;
}

}  // namespace

int SendBlockCommand(UpdateSession& session, const std::uint8_t* data, std::uint32_t n,
                     std::uint32_t address, std::uint32_t size, std::uint16_t command,
                     std::uint16_t reserved, bool withCrc)
{
    const BlockFrame frame = BuildBlockFrame(data, n, address, size, command, reserved, withCrc);
    return session.HidLink.WriteHid(frame.bytes.data(),
                                    static_cast<std::uint8_t>(frame.wireLength));
}

int BlockReadMemory(UpdateSession& session, std::uint8_t* dest, std::uint32_t n,
                    std::uint32_t address)
{
    return ReadRequest(session, BlockCommand::ReadMemory, dest, n, address);
}

int BlockReadInfo(UpdateSession& session, std::uint8_t* dest, std::uint32_t n)
{
    return ReadRequest(session, BlockCommand::ReadInfo, dest, n, 0);
}

int BlockEraseResend(UpdateSession& session, std::uint32_t address, std::uint32_t size)
{
    DiscardStaleInput(session);
    SendErase(session, address, size);
    if (!session.Pause(kEraseSettleMs))
        return 0;
    for (int polls = 0; polls < kEraseResendPolls; ++polls) {
        // An erase answer still owed cannot pass for the write that
        // follows: the acknowledgement check compares the command.
        if (PollAck(session, BlockCommand::Erase))
            return 1;
        SendErase(session, address, size);
        if (!session.Pause(kEraseResendPauseMs))
            return 0;
    }
    return 0;
}

int BlockErasePoll(UpdateSession& session, std::uint32_t address, std::uint32_t size)
{
    DiscardStaleInput(session);
    SendErase(session, address, size);
    if (!session.Pause(kEraseSettleMs))
        return 0;
    for (int polls = 0; polls < kErasePolls; ++polls) {
        if (PollAck(session, BlockCommand::Erase))
            return 1;
        if (!session.Pause(kErasePollPauseMs))
            return 0;
    }
    return 0;
}

int BlockWrite(UpdateSession& session, const std::uint8_t* data, std::uint32_t address,
               std::uint32_t n, std::uint32_t size, bool isImage)
{
    const BlockCommand command = isImage ? BlockCommand::WriteImage : BlockCommand::WriteMemory;
    DiscardStaleInput(session);
    SendBlockCommand(session, data, n, address, size, BlockCode(command), 0,
                     IsSpecialDeviceType(session.device.currentDeviceType));
    for (int polls = 0; polls < kWritePolls && !session.StopRequested(); ++polls)
        if (PollAck(session, command))
            return 1;
    return 0;
}

int BlockFinish(UpdateSession& session)
{
    DiscardStaleInput(session);
    SendBlockCommand(session, nullptr, 0, 0, 0, BlockCode(BlockCommand::Finish), 0, false);
    return PollAck(session, BlockCommand::Finish) ? 1 : 0;
}

int WriteVersionWord(UpdateSession& session)
{
    const std::uint32_t address = session.device.memoryMap.versionAddress;
    if (IsSpecialDeviceType(session.device.currentDeviceType) &&
        !BlockErasePoll(session, address, kVersionEraseBytes))
        return 0;
    std::uint8_t word[kVersionWordBytes];
    PutLe32(word, session.transfer.packageVersionWord);
    return BlockWrite(session, word, address, kVersionWordBytes, kVersionWordBytes, false);
}
