#pragma once
// Whether a controller back on the port of a unit just updated is that unit:
// it is asked its version as at attach, and it is the same unit only when
// that is the version it was given. A controller that does not answer is not
// proven: it is taken as a new plug-in, so a swap is never missed in silence.
#include <cstdint>

#include "base/clock.h"
#include "engine/quiet_ui.h"
#include "engine/update_session.h"
#include "hid/hid_backend.h"
#include "station/attached_unit.h"

class UnitProof {
public:
    UnitProof(IHidBackend& backend, IClock& clock, AttachedUnit unit, std::uint32_t givenVersion);
    UnitProof(const UnitProof&) = delete;
    UnitProof& operator=(const UnitProof&) = delete;

    // Attaches (bounded by the engine's time-outs) and compares; true for
    // the same unit. Once, on the calling thread.
    bool Run();
    // Ends the attach at its next safe point (the proof then fails). Any thread.
    void RequestStop() { m_Session.RequestStop(); }

private:
    AttachedUnit m_Unit;
    std::uint32_t m_Given;
    QuietUi m_Ui;
    UpdateSession m_Session;
};
