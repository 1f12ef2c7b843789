#include "stream/stream_dispatch.h"

#include "app/diagnostics.h"
#include "app/process_state.h"
#include "app/text_table.h"
#include "app/update_dlg.h"
#include "app/wformat.h"
#include "package/firmware_selection.h"
#include "stream/stream_frame.h"

using namespace stream_frame;

namespace {

constexpr int kTextTitle = 6;
constexpr int kTextFailure = 7;
constexpr int kTextBootMode = 11;
constexpr int kTextHint = 14;
constexpr std::uint32_t kUpdatableTypeA = 1;
constexpr std::uint32_t kUpdatableTypeB = 200;

void ShowVersion(std::uint32_t version)
{
    CUpdateDlg* dlg = ActiveDialog.load();
    if (!dlg)
        return;
    const auto beta = static_cast<std::uint16_t>(version >> 16);
    const double v = static_cast<std::uint16_t>(version) / 100.0;
    if (beta != 0)
        dlg->SetTitle(WFormat(u"%s(ZudoVor V%0.2f beta%d)", LoadText(kTextTitle), v, beta));
    else
        dlg->SetTitle(WFormat(u"%s(ZudoVor V%0.2f)", LoadText(kTextTitle), v));
}

void HandleVersionReply(std::span<const std::uint8_t> body)
{
    const std::uint32_t version = BodyVersionWord(body);
    cur_devVersion = version;
    DebugOut(WFormat(u"cur_devVersion 0x%x\n", version));
    if (version == kNoFirmwareVersion)
        ShowStreamMessage(WFormat(u"%s", LoadText(kTextHint)));
    else
        ShowVersion(version);
}

void StartSelection(std::int32_t transportHandle, std::uint8_t transportSelector)
{
    const std::uint32_t type = firmwareType;
    if (type == kUpdatableTypeA || type == kUpdatableTypeB) {
        if (!SelectFirmwarePackage(transportHandle, transportSelector))
            StopFlag = 1;
        return;
    }
    if (CUpdateDlg* dlg = ActiveDialog.load())
        dlg->StopTransfer();
    const std::u16string text = WFormat(u"%s\n", LoadText(kTextBootMode));
    DebugOut(text);
    ShowStreamMessage(text);
}

}  // namespace

void ShowStreamMessage(const std::u16string& text)
{
    CUpdateDlg* dlg = ActiveDialog.load();
    if (dlg && !dlg->AbortRequested())
        dlg->ShowMessage(text);
}

std::uint32_t StreamReadCycle()
{
    CUpdateDlg* dlg = ActiveDialog.load();
    if (!dlg)
        return kReadNotOpen;
    const std::uint32_t result = dlg->HidLink.ReadHid(ReportIn, sizeof ReportIn);
    if (result == kReadOk) {
        DebugOut(WFormat(u" %d Bytes received from sender\n", ReportIn[0]));
        DispatchReport(0, kHidTransport, ReportFrame(ReportIn), ReportIn[kReportCount]);
        return result;
    }
    DebugOut(WFormat(u"recv() failed with error code 0x%x\n", result));
    SendShortMessage(0, kHidTransport, READ_FAILED, 0);
    // A read that fails at once must not turn the wait into a busy loop.
    if (result == kReadFailed)
        dlg->Clock().SleepMs(dlg->HidLink.m_ReadTimeout);
    return result;
}

void DispatchReport(std::int32_t transportHandle, std::uint8_t transportSelector,
                    std::span<const std::uint8_t> frame, std::uint8_t)
{
    if (FrameLead(frame) != 0)
        return;
    const std::span<const std::uint8_t> body = frame.subspan(kBody);
    switch (FrameType(frame)) {
    case DEVICE_IDENTITY:
        HandleIdentity(body);
        StartSelection(transportHandle, transportSelector);
        break;
    case COMMAND_FRAME:
        HandleCommandReport(transportHandle, transportSelector, body);
        break;
    default:
        break;
    }
}

void HandleIdentity(std::span<const std::uint8_t> body)
{
    const StreamIdentity identity = DecodeIdentity(BodyIdentityWord(body));
    firmwareType = identity.firmwareType;
    if (CUpdateDlg* dlg = ActiveDialog.load()) {
        dlg->deviceSubModel = identity.subModel;
        dlg->deviceModel = identity.model;
    }
    DebugOut(WFormat(u"firmware type %d\n", identity.firmwareType));
}

void HandleCommandReport(std::int32_t transportHandle, std::uint8_t transportSelector,
                         std::span<const std::uint8_t> body)
{
    switch (BodyCommand(body)) {
    case GET_VERSION:
        HandleVersionReply(body);
        break;
    case SET_FIRMWARE_DATA:
        AnswerFirmwareDataRequest(transportHandle, transportSelector);
        break;
    case FAILURE_REPORT_A:
    case FAILURE_REPORT_B:
        FailTransfer();
        break;
    default:
        break;
    }
}

void FailTransfer()
{
    CUpdateDlg* dlg = ActiveDialog.load();
    if (!dlg)
        return;
    dlg->StopTransfer();
    ShowStreamMessage(WFormat(u"%s\n", LoadText(kTextFailure)));
    if (dlg->HidLink.m_Present != 0)
        if (CControl* button = UpdateButton.load())
            button->EnableWindow(true);
}
