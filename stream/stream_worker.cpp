// The update worker of a stream-protocol controller: announce the update,
// then answer reports until StopFlag is set or a stop is requested.
#include "stream/stream_worker.h"

#include "base/diagnostics.h"
#include "engine/update_session.h"
#include "stream/stream_dispatch.h"
#include "stream/stream_frame.h"
#include "stream/stream_send.h"
#include "text/text_table.h"
#include "text/wformat.h"

namespace {

// Silence from the controller for this long ends the update as failed.
constexpr std::uint64_t kControllerSilenceLimitMs = 10000;

bool ControllerGone(UpdateSession& session, std::uint32_t readResult)
{
    CHid& link = session.HidLink;
    if (readResult == kReadDeviceGone || readResult == kReadNotOpen || link.DeviceGone())
        return true;
    // A read that failed outright: gone when the bus no longer lists it.
    return readResult == kReadFailed && link.ProbeHid() == 0;
}

bool Running(const UpdateSession& session)
{
    return session.StopFlag == 0 && !session.StopRequested();
}

void RunReadCycles(UpdateSession& session)
{
    std::uint64_t lastReport = session.Clock().NowMs();
    do {
        const std::uint32_t result = StreamReadCycle(session);
        // Measured from the end of the dispatch: the file dialog and the
        // confirmation are the user's time, not the controller's.
        if (result == kReadOk) {
            lastReport = session.Clock().NowMs();
            continue;
        }
        if (!Running(session))
            break;
        if (ControllerGone(session, result) ||
            session.Clock().NowMs() - lastReport >= kControllerSilenceLimitMs) {
            DebugOut(WFormat(u"controller lost, read result 0x%x\n", result));
            FailTransfer(session);
        }
    } while (Running(session));
}

}  // namespace

unsigned Usb_UpdateThread(UpdateSession& session)
{
    const int sent = SendShortMessage(session, 0, kHidTransport, UPDATE_START, 0);
    if (sent == 0) {
        DebugOut(WFormat(u"send() failed with error code %d\n",
                         session.HidLink.LastWriteError()));
        ShowStreamMessage(session, WFormat(u"%s\n", LoadText(TextId::Failure)));
    } else {
        DebugOut(u"send() is OK!\n");
        DebugOut(WFormat(u"Bytes Sent: %d\n", static_cast<std::int32_t>(sent)));
        RunReadCycles(session);
    }
    if (!session.StopRequested())
        session.RefreshUpdateButton();
    DebugOut(u"Exit Usb_UpdateThread\n");
    return 0;
}
