#include "stream/stream_dispatch.h"

#include "base/diagnostics.h"
#include "engine/firmware_selection.h"
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

void StartSelection(UpdateSession& session, std::int32_t transportHandle,
                    std::uint8_t transportSelector)
{
    const std::uint32_t type = session.device.firmwareType;
    // The identity again after the user's choice: the controller missed the
    // start packet (or restarted), so it gets the same start again rather
    // than a second file chooser.
    if (session.updatePlan && (type == kUpdatableTypeA || type == kUpdatableTypeB)) {
        DebugOut(u"identity again: start packet sent again\n");
        StartTransfer(session, *session.updatePlan, transportHandle, transportSelector);
        return;
    }
    if (type == kUpdatableTypeA || type == kUpdatableTypeB) {
        if (!SelectAndStart(session, transportHandle, transportSelector))
            session.StopFlag = 1;
        return;
    }
    session.StopTransfer();
    const std::u16string text = WFormat(u"%s\n", LoadText(TextId::BootModeFailure));
    DebugOut(text);
    ShowStreamMessage(session, text);
}

}  // namespace

void ShowStreamMessage(UpdateSession& session, const std::u16string& text)
{
    if (!session.StopRequested())
        session.ShowMessage(text);
}

std::uint32_t StreamReadCycle(UpdateSession& session)
{
    CHid& link = session.HidLink;
    const std::uint32_t result = link.ReadHid(link.ReportIn, sizeof link.ReportIn);
    if (result == kReadOk) {
        DebugOut(WFormat(u" %d Bytes received from sender\n", link.ReportIn[0]));
        DispatchReport(session, 0, kHidTransport, ReportFrame(link.ReportIn),
                       link.ReportIn[kReportCount]);
        return result;
    }
    DebugOut(WFormat(u"recv() failed with error code 0x%x\n", result));
    SendShortMessage(session, 0, kHidTransport, READ_FAILED, 0);
    // A read that fails at once must not turn the wait into a busy loop.
    if (result == kReadFailed)
        session.Pause(link.m_ReadTimeout);
    return result;
}

void DispatchReport(UpdateSession& session, std::int32_t transportHandle,
                    std::uint8_t transportSelector, std::span<const std::uint8_t> frame,
                    std::uint8_t)
{
    if (FrameLead(frame) != 0)
        return;
    const std::span<const std::uint8_t> body = frame.subspan(kBody);
    switch (FrameType(frame)) {
    case DEVICE_IDENTITY:
        HandleIdentity(session, body);
        StartSelection(session, transportHandle, transportSelector);
        break;
    case COMMAND_FRAME:
        HandleCommandReport(session, transportHandle, transportSelector, body);
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

void HandleCommandReport(UpdateSession& session, std::int32_t transportHandle,
                         std::uint8_t transportSelector, std::span<const std::uint8_t> body)
{
    switch (BodyCommand(body)) {
    case GET_VERSION:
        HandleVersionReply(session, body);
        break;
    case SET_FIRMWARE_DATA:
        AnswerFirmwareDataRequest(session, transportHandle, transportSelector);
        break;
    case FAILURE_REPORT_A:
    case FAILURE_REPORT_B:
        FailTransfer(session);
        break;
    default:
        break;
    }
}

void FailTransfer(UpdateSession& session)
{
    session.StopTransfer();
    ShowStreamMessage(session, WFormat(u"%s\n", LoadText(TextId::Failure)));
    if (session.HidLink.m_Present != 0)
        session.Ui().EnableUpdateButton(true);
}
