#include "stream/stream_dispatch.h"

#include "base/diagnostics.h"
#include "engine/firmware_selection.h"
#include "engine/outcome_messages.h"
#include "engine/update_session.h"
#include "stream/stream_frame.h"
#include "stream/stream_send.h"
#include "text/firmware_version.h"
#include "text/text_table.h"
#include "text/wformat.h"

using namespace stream_frame;

namespace {

constexpr std::uint32_t kUpdatableTypeA = 1;
constexpr std::uint32_t kUpdatableTypeB = 200;

void HandleVersionReply(UpdateSession& session, std::span<const std::uint8_t> body)
{
    const std::uint32_t version = BodyVersionWord(body);
    session.device.cur_devVersion = version;
    DebugOut(WFormat(u"cur_devVersion 0x%x\n", version));
    if (version == kNoFirmwareVersion)
        ShowStreamMessage(session, WFormat(u"%s", LoadText(TextId::Instructions)));
    else
        session.Ui().SetTitle(FirmwareVersionWord(version).TitleText(LoadText(TextId::Title)));
}

void StartSelection(UpdateSession& session, StreamState& state, std::int32_t transportHandle,
                    std::uint8_t transportSelector)
{
    const std::uint32_t type = session.device.firmwareType;
    // The identity again after the user's choice: the controller missed the
    // start packet (or restarted), so it gets the same start again rather
    // than a second file chooser.
    if (state.confirmedPlan && (type == kUpdatableTypeA || type == kUpdatableTypeB)) {
        DebugOut(u"identity again: start packet sent again\n");
        StartTransfer(session, *state.confirmedPlan);
        StartStreamTransfer(session, state, *state.confirmedPlan, transportHandle,
                            transportSelector);
        return;
    }
    if (type == kUpdatableTypeA || type == kUpdatableTypeB) {
        state.confirmedPlan = SelectAndStart(session);
        if (state.confirmedPlan)
            StartStreamTransfer(session, state, *state.confirmedPlan, transportHandle,
                                transportSelector);
        else
            state.readLoopEnded = true;
        return;
    }
    StopTransfer(session, state);
    const std::u16string text = WFormat(u"%s\n", LoadText(TextId::BootModeFailure));
    DebugOut(text);
    ShowStreamMessage(session, text);
    state.outcome = UpdateOutcome::Failed;
    state.failureText = TextId::BootModeFailure;
    state.controllerReported = true;
}

}  // namespace

void ShowStreamMessage(UpdateSession& session, const std::u16string& text)
{
    if (!session.StopRequested())
        session.ShowMessage(text);
}

void StartStreamTransfer(UpdateSession& session, StreamState& state, const TransferPlan& plan,
                         std::int32_t transportHandle, std::uint8_t transportSelector)
{
    // The phase before the packet goes: the first request starts this transfer.
    state.phase = StreamPhase::FirstChunk;
    SendStartPacket(session, transportHandle, transportSelector, session.transfer);
    DebugOut(WFormat(u"desVersion is %d\n", static_cast<std::int32_t>(plan.header.desVersion)));
}

std::uint32_t StreamReadCycle(UpdateSession& session, StreamState& state)
{
    CHid& link = session.HidLink;
    const std::uint32_t result = link.ReadHid(link.ReportIn, sizeof link.ReportIn);
    if (result == kReadOk) {
        DebugOut(WFormat(u" %d Bytes received from sender\n", link.ReportIn[0]));
        DispatchReport(session, state, 0, kHidTransport, ReportFrame(link.ReportIn));
        return result;
    }
    DebugOut(WFormat(u"recv() failed with error code 0x%x\n", result));
    SendShortMessage(session, 0, kHidTransport, READ_FAILED, 0);
    // A read that fails at once must not turn the wait into a busy loop.
    if (result == kReadFailed)
        session.Pause(link.m_ReadTimeout);
    return result;
}

void DispatchReport(UpdateSession& session, StreamState& state, std::int32_t transportHandle,
                    std::uint8_t transportSelector, std::span<const std::uint8_t> frame)
{
    if (FrameLead(frame) != 0)
        return;
    const std::span<const std::uint8_t> body = frame.subspan(kBody);
    switch (FrameType(frame)) {
    case DEVICE_IDENTITY:
        HandleIdentity(session, body);
        StartSelection(session, state, transportHandle, transportSelector);
        break;
    case COMMAND_FRAME:
        HandleCommandReport(session, state, transportHandle, transportSelector, body);
        break;
    default:
        break;
    }
}

void HandleIdentity(UpdateSession& session, std::span<const std::uint8_t> body)
{
    const StreamIdentity identity = DecodeIdentity(BodyIdentityWord(body));
    session.device.firmwareType = identity.firmwareType;
    session.device.deviceSubModel = identity.subModel;
    session.device.deviceModel = identity.model;
    DebugOut(WFormat(u"firmware type %d\n", identity.firmwareType));
}

void HandleCommandReport(UpdateSession& session, StreamState& state, std::int32_t transportHandle,
                         std::uint8_t transportSelector, std::span<const std::uint8_t> body)
{
    switch (BodyCommand(body)) {
    case GET_VERSION:
        HandleVersionReply(session, body);
        break;
    case SET_FIRMWARE_DATA:
        AnswerFirmwareDataRequest(session, state, transportHandle, transportSelector);
        break;
    case FAILURE_REPORT_A:
    case FAILURE_REPORT_B:
        FailTransfer(session, state);
        state.controllerReported = true;
        break;
    default:
        break;
    }
}

void StopTransfer(UpdateSession& session, StreamState& state)
{
    session.packageFile.Close();
    state.readLoopEnded = true;
}

void ReportFailure(UpdateSession& session, StreamState& state)
{
    ShowFailure(session);
    state.outcome = UpdateOutcome::Failed;
    state.failureText = TextId::Failure;
}

void FailTransfer(UpdateSession& session, StreamState& state)
{
    StopTransfer(session, state);
    ReportFailure(session, state);
    if (session.HidLink.m_Present != 0)
        session.Ui().EnableUpdateButton(true);
}
