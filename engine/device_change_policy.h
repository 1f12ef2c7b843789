#pragma once
// What a front end with one controller does about device changes, the same
// for the dialog and the page.
#include <cstdint>
#include <mutex>

class UpdateSession;

// True for the event codes the policy acts on (arrival, removal, nodes
// changed); a front end ignores the others.
bool IsHandledDeviceChange(std::uint32_t event);

// Handles a change while no update owns the link: probes, attaches a
// controller that is there, and otherwise disables the update button and
// shows the plain title. A removal leaves a controller that is still there
// alone. Bounded; the thread that owns the session.
void ApplyDeviceChange(UpdateSession& session, std::uint32_t code);

// Device changes while an update owns the link are only noted; when the
// update ends, one code 7 stands for all of them (whatever they were, the
// controller is now either there or not), unless the update ended on a stop:
// a stopped session handles nothing more. Any thread.
class DeviceChangeDeferral {
public:
    // An update takes the link; notes start empty.
    void Begin();
    // True while an update runs: the change is noted for End.
    bool Defer();
    // The update has ended. True when the front end is to handle one code 7.
    bool End(bool stopped);
    // From Begin until End.
    bool Active() const;

private:
    mutable std::mutex m_Mutex;
    bool m_Active = false;
    bool m_Pending = false;
};
