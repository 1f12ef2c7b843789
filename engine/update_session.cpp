#include "engine/update_session.h"

#include "base/diagnostics.h"
#include "text/wformat.h"

UpdateSession::UpdateSession(IHidBackend& backend, IClock& clock, IUpdateUi& ui,
                             ProtocolDrivers drivers)
    : HidLink(backend), m_Clock(clock), m_Ui(ui), m_Drivers(std::move(drivers))
{
}

UpdateSession::~UpdateSession() { packageFile.Close(); }

ProtocolDriver* UpdateSession::Driver()
{
    const std::uint32_t variant = HidLink.ProtocolVariant;
    for (auto& driver : m_Drivers)
        if (driver->Variant() == variant)
            return driver.get();
    return nullptr;
}

ProtocolDriver* UpdateSession::DriverOrSay()
{
    ProtocolDriver* driver = Driver();
    if (!driver)
        DebugOut(WFormat(u"no protocol driver for variant %u\n", HidLink.ProtocolVariant));
    return driver;
}

void UpdateSession::Attach()
{
    device.cur_devVersion = VersionProbeSentinel;
    ProtocolDriver* driver = DriverOrSay();
    if (!driver || !HidLink.OpenHid())
        return;
    driver->Identify(*this);
}

void UpdateSession::EnterIdle()
{
    for (auto& driver : m_Drivers)
        driver->EnterIdle();
}

bool UpdateSession::PrepareUpdate()
{
    if (!DriverOrSay() || !HidLink.OpenHid())
        return false;
    for (auto& driver : m_Drivers)
        driver->PrepareUpdate();
    m_LastSelection = {};
    m_Updating = true;
    return true;
}

UpdateResult UpdateSession::RunUpdate()
{
    ProtocolDriver* driver = DriverOrSay();
    UpdateResult result = driver ? driver->RunUpdate(*this) : UpdateResult{};
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
