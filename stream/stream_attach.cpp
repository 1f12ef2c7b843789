// The version query run on the UI thread whenever a controller is found.
#include "app/diagnostics.h"
#include "app/process_state.h"
#include "app/update_dlg.h"
#include "block/block_identify.h"
#include "stream/stream_dispatch.h"
#include "stream/stream_frame.h"
#include "stream/stream_worker.h"

namespace {

// The UI thread is never held longer than this by a silent controller.
constexpr std::uint64_t kVersionQueryLimitMs = 3000;

}  // namespace

void AttachDevice()
{
    CUpdateDlg* dlg = ActiveDialog.load();
    if (!dlg)
        return;
    cur_devVersion = VersionProbeSentinel;
    if (!dlg->HidLink.OpenHid())
        return;
    if (ProtocolVariant == kProtocolBlock) {
        IdentifyBlockDevice();
        return;
    }
    SendFirmwarePacket(0, kHidTransport, GET_VERSION, nullptr, 0);
    const std::uint64_t deadline = dlg->Clock().NowMs() + kVersionQueryLimitMs;
    do {
        StreamReadCycle();
        if (cur_devVersion != VersionProbeSentinel)
            return;
    } while (!dlg->HidLink.DeviceGone() && dlg->Clock().NowMs() < deadline);
    DebugOut(u"GET_VERSION: no reply\n");
}
