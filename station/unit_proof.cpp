#include "station/unit_proof.h"

#include "engine/session_start.h"
#include "protocols/standard_protocols.h"

UnitProof::UnitProof(IHidBackend& backend, IClock& clock, AttachedUnit unit, std::uint32_t givenVersion)
    : m_Unit(std::move(unit)), m_Given(givenVersion), m_Session(backend, clock, m_Ui, StandardProtocolDrivers())
{
}

bool UnitProof::Run()
{
    StartSession(m_Session, {StartIdle::Fresh, KnownController{m_Unit.path, m_Unit.variant}});
    const std::uint32_t running = m_Session.device.cur_devVersion;
    return !m_Session.StopRequested() && running != VersionProbeSentinel && running == m_Given;
}
