// The stream host: the version query run on the UI thread whenever a
// controller is found, and the update worker: announce the update, then
// answer reports until the read loop ends or a stop is requested.
#include "stream/stream_driver.h"

#include "base/diagnostics.h"
#include "engine/update_session.h"
#include "stream/stream_dispatch.h"
#include "stream/stream_frame.h"
#include "stream/stream_send.h"
#include "text/wformat.h"

namespace {

// The UI thread is never held longer than this by a silent controller.
constexpr std::uint64_t kVersionQueryLimitMs = 3000;
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

bool Running(const UpdateSession& session, const StreamState& state)
{
    return !state.readLoopEnded && !session.StopRequested();
}

}  // namespace

std::uint32_t StreamDriver::Variant() const { return kProtocolStream; }

void StreamDriver::Identify(UpdateSession& session)
{
    SendFirmwarePacket(session, 0, kHidTransport, GET_VERSION, nullptr, 0);
    const std::uint64_t deadline = session.Clock().NowMs() + kVersionQueryLimitMs;
    do {
        StreamReadCycle(session, m_State);
        if (session.device.cur_devVersion != VersionProbeSentinel)
            return;
    } while (!session.HidLink.DeviceGone() && session.Clock().NowMs() < deadline &&
             !session.StopRequested());
    DebugOut(u"GET_VERSION: no reply\n");
}

void StreamDriver::EnterIdle()
{
    m_IdlePhase = StreamPhase::ImageSent;
    m_State.readLoopEnded = true;
    m_State.phase = m_IdlePhase;
}

void StreamDriver::PrepareUpdate()
{
    // A failed transfer leaves its phase and texts behind: none of it counts.
    m_State = StreamState{};
    m_State.phase = m_IdlePhase;
}

std::optional<std::uint32_t> StreamDriver::RecordType(const DeviceDescription&) const
{
    return std::nullopt;
}

bool StreamDriver::RecordFits(const DeviceDescription&, const PackageHeader&) const
{
    return true;
}

std::uint32_t StreamDriver::ReadCycle(UpdateSession& session)
{
    return StreamReadCycle(session, m_State);
}

void StreamDriver::RunReadCycles(UpdateSession& session)
{
    std::uint64_t lastReport = session.Clock().NowMs();
    do {
        const std::uint32_t result = StreamReadCycle(session, m_State);
        // Measured from the end of the dispatch: the file dialog and the
        // confirmation are the user's time, not the controller's.
        if (result == kReadOk) {
            lastReport = session.Clock().NowMs();
            continue;
        }
        if (!Running(session, m_State))
            break;
        if (ControllerGone(session, result) ||
            session.Clock().NowMs() - lastReport >= kControllerSilenceLimitMs) {
            DebugOut(WFormat(u"controller lost, read result 0x%x\n", result));
            FailTransfer(session, m_State);
        }
    } while (Running(session, m_State));
}

UpdateResult StreamDriver::RunUpdate(UpdateSession& session)
{
    m_State.outcome = UpdateOutcome::Quiet;
    const int sent = SendShortMessage(session, 0, kHidTransport, UPDATE_START, 0);
    if (sent == 0) {
        DebugOut(WFormat(u"send() failed with error code %d\n",
                         session.HidLink.LastWriteError()));
        ReportFailure(session, m_State);
    } else {
        DebugOut(u"send() is OK!\n");
        DebugOut(WFormat(u"Bytes Sent: %d\n", static_cast<std::int32_t>(sent)));
        RunReadCycles(session);
    }
    if (!session.StopRequested())
        session.RefreshUpdateButton();
    // The name of the worker this once was: logs and their readers know it.
    DebugOut(u"Exit Usb_UpdateThread\n");
    UpdateResult result;
    result.outcome = session.StopRequested() ? UpdateOutcome::Quiet : m_State.outcome;
    result.failureText = m_State.failureText;
    result.controllerReported = m_State.controllerReported;
    return result;
}
