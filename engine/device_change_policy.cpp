#include "engine/device_change_policy.h"

#include "base/diagnostics.h"
#include "engine/update_session.h"
#include "text/text_table.h"

bool IsHandledDeviceChange(std::uint32_t event)
{
    const std::uint32_t code = event & 0xFFFF;
    return code == kDbtDevNodesChanged || code == kDbtDeviceArrival || code == kDbtDeviceRemoveComplete;
}

void ApplyDeviceChange(UpdateSession& session, std::uint32_t code)
{
    IUpdateUi& ui = session.Ui();
    const bool present = session.HidLink.ProbeHid() != 0;
    if (code == kDbtDeviceRemoveComplete) {
        if (!present) {
            ui.EnableUpdateButton(false);
            DebugOut(LoadText(TextId::Title));
            ui.SetTitle(LoadText(TextId::Title));
        }
        return;
    }
    if (present) {
        ui.EnableUpdateButton(true);
        session.Attach();
    } else if (code == kDbtDevNodesChanged) {
        ui.EnableUpdateButton(false);
        ui.SetTitle(LoadText(TextId::Title));
    }
}

void DeviceChangeDeferral::Begin()
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Active = true;
    m_Pending = false;
}

bool DeviceChangeDeferral::Defer()
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    if (!m_Active)
        return false;
    m_Pending = true;
    return true;
}

bool DeviceChangeDeferral::End(bool stopped)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    const bool handle = m_Pending && !stopped;
    m_Pending = false;
    m_Active = false;
    return handle;
}

bool DeviceChangeDeferral::Active() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Active;
}
