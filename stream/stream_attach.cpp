// The version query run on the UI thread whenever a controller is found.
#include "base/diagnostics.h"
#include "block/block_identify.h"
#include "engine/update_session.h"
#include "stream/stream_dispatch.h"
#include "stream/stream_frame.h"
#include "stream/stream_send.h"
#include "stream/stream_worker.h"

namespace {

// The UI thread is never held longer than this by a silent controller.
constexpr std::uint64_t kVersionQueryLimitMs = 3000;

}  // namespace

void AttachDevice(UpdateSession& session)
{
    session.device.cur_devVersion = VersionProbeSentinel;
    if (!session.HidLink.OpenHid())
        return;
    if (session.HidLink.ProtocolVariant == kProtocolBlock) {
        session.device = IdentifyBlockDevice(session, session.device);
        return;
    }
    SendFirmwarePacket(session, 0, kHidTransport, GET_VERSION, nullptr, 0);
    const std::uint64_t deadline = session.Clock().NowMs() + kVersionQueryLimitMs;
    do {
        StreamReadCycle(session);
        if (session.device.cur_devVersion != VersionProbeSentinel)
            return;
    } while (!session.HidLink.DeviceGone() && session.Clock().NowMs() < deadline &&
             !session.StopRequested());
    DebugOut(u"GET_VERSION: no reply\n");
}
