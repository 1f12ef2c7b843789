#include "cli/device_readout.h"

#include "base/utf.h"
#include "engine/quiet_ui.h"
#include "engine/session_start.h"
#include "engine/update_session.h"
#include "text/firmware_version.h"
#include "protocols/standard_protocols.h"

DeviceReadout ReadDevice(IHidBackend& backend, IClock& clock, const FoundController& controller)
{
    QuietUi ui;
    UpdateSession session(backend, clock, ui, StandardProtocolDrivers());
    StartSession(session, {StartIdle::Fresh, KnownControllerOf(controller)});
    DeviceReadout readout;
    readout.device = session.device;
    readout.answered = session.device.cur_devVersion != VersionProbeSentinel;
    return readout;
}

std::string VersionText(const DeviceReadout& readout)
{
    if (!readout.answered)
        return "no answer";
    std::string text = Utf16ToUtf8(FirmwareVersionWord(readout.device.cur_devVersion).TitleText(u""));
    // The title puts the version in parentheses after its name.
    const auto open = text.find('(');
    const auto close = text.rfind(')');
    if (open != std::string::npos && close != std::string::npos && close > open)
        text = text.substr(open + 1, close - open - 1);
    return text;
}
