#include "engine/update_session.h"

UpdateSession::UpdateSession(IHidBackend& backend, IClock& clock, IUpdateUi& ui,
                             ProtocolDrivers drivers)
    : HidLink(backend), m_Clock(clock), m_Ui(ui), m_Drivers(std::move(drivers))
{
}

UpdateSession::~UpdateSession() { packageFile.Close(); }

ProtocolDriver& UpdateSession::Driver()
{
    const std::uint32_t variant = HidLink.ProtocolVariant;
    for (auto& driver : m_Drivers)
        if (driver->Variant() == variant)
            return *driver;
    return *m_Drivers.front();
}

void UpdateSession::Attach()
{
    device.cur_devVersion = VersionProbeSentinel;
    if (!HidLink.OpenHid())
        return;
    Driver().Identify(*this);
}

void UpdateSession::EnterIdle()
{
    for (auto& driver : m_Drivers)
        driver->EnterIdle();
}

bool UpdateSession::PrepareUpdate()
{
    if (!HidLink.OpenHid())
        return false;
    for (auto& driver : m_Drivers)
        driver->PrepareUpdate();
    m_LastSelection = {};
    m_Updating = true;
    return true;
}

UpdateResult UpdateSession::RunUpdate()
{
    UpdateResult result = Driver().RunUpdate(*this);
    result.selection = m_LastSelection;
    m_Updating = false;
    return result;
}

bool UpdateSession::Pause(std::uint32_t ms) { return m_Clock.SleepMs(ms, m_Stop); }

void UpdateSession::RefreshUpdateButton() { m_Ui.EnableUpdateButton(HidLink.ProbeHid() != 0); }

int UpdateSession::ShowMessage(const std::u16string& text, MessageButtons buttons)
{
    return m_Ui.ShowMessage(text, buttons);
}
