// The update worker of a stream-protocol controller: announce the update,
// then answer reports until StopFlag is set.
#include "stream/stream_worker.h"

#include "app/diagnostics.h"
#include "app/process_state.h"
#include "app/update_dlg.h"
#include "app/wformat.h"
#include "stream/stream_dispatch.h"
#include "stream/stream_frame.h"

namespace {

// Silence from the controller for this long ends the update as failed.
constexpr std::uint64_t kControllerSilenceLimitMs = 10000;

bool ControllerGone(CUpdateDlg& dlg, std::uint32_t readResult)
{
    if (readResult == kReadDeviceGone || readResult == kReadNotOpen || dlg.HidLink.DeviceGone())
        return true;
    // A read that failed outright: gone when the bus no longer lists it.
    return readResult == kReadFailed && dlg.HidLink.ProbeHid() == 0;
}

void RunReadCycles(CUpdateDlg& dlg)
{
    std::uint64_t lastReport = dlg.Clock().NowMs();
    do {
        const std::uint32_t result = StreamReadCycle();
        // Measured from the end of the dispatch: the file dialog and the
        // confirmation are the user's time, not the controller's.
        if (result == kReadOk) {
            lastReport = dlg.Clock().NowMs();
            continue;
        }
        if (StopFlag != 0)
            break;
        if (ControllerGone(dlg, result) ||
            dlg.Clock().NowMs() - lastReport >= kControllerSilenceLimitMs) {
            DebugOut(WFormat(u"controller lost, read result 0x%x\n", result));
            FailTransfer();
        }
    } while (StopFlag == 0);
}

}  // namespace

unsigned Usb_UpdateThread(void*)
{
    CUpdateDlg* dlg = ActiveDialog.load();
    if (!dlg)
        return 0;
    const int sent = SendShortMessage(0, kHidTransport, UPDATE_START, 0);
    if (sent == 0) {
        DebugOut(WFormat(u"send() failed with error code %d\n", dlg->HidLink.LastWriteError()));
        return 0;
    }
    DebugOut(u"send() is OK!\n");
    DebugOut(WFormat(u"Bytes Sent: %d\n", static_cast<std::int32_t>(sent)));
    RunReadCycles(*dlg);
    if (!dlg->AbortRequested())
        dlg->RefreshUpdateButton();
    DebugOut(u"Exit Usb_UpdateThread\n");
    return 0;
}
