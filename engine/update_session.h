#pragma once
// One update of one controller: the link, what was learnt about the device,
// the chosen package and the transfer, the clock, the stop request and the
// front end's port. Nothing of it is shared with another session, so one
// process may update several controllers at once.
//
// Threads: one thread at a time runs the session's steps (the UI thread
// while attaching, the update worker during an update); RequestStop and
// StopRequested may be called from any thread.
#include <cstdint>
#include <optional>
#include <string>

#include "base/clock.h"
#include "base/stop_signal.h"
#include "engine/controller_binding.h"
#include "engine/device_description.h"
#include "engine/firmware_selection.h"
#include "engine/image_verification.h"
#include "engine/protocol_driver.h"
#include "engine/transfer_record.h"
#include "engine/update_result.h"
#include "engine/update_ui.h"
#include "hid/hid.h"
#include "package/package_file.h"

// What a front end asks of its updates.
struct UpdateOptions {
    // Block: read the image back before the version word and Finish; a
    // failed check sends neither, so the controller stays in its updater.
    bool verifyImage = false;
    // A catalogue's package: the controllers it is for. The selection
    // refuses it, silently and before the confirmation, on any other.
    std::optional<ControllerBinding> binding;
};

class UpdateSession {
public:
    // drivers: one per protocol (protocols/standard_protocols.h). A link of a
    // variant none of them names is neither identified nor updated.
    UpdateSession(IHidBackend& backend, IClock& clock, IUpdateUi& ui, ProtocolDrivers drivers);
    ~UpdateSession();
    UpdateSession(const UpdateSession&) = delete;
    UpdateSession& operator=(const UpdateSession&) = delete;

    // --- Steps ---
    // Opens the link to the controller found last and has its driver
    // identify it. Bounded.
    void Attach();
    // Every driver waits as between updates (ProtocolDriver::EnterIdle).
    void EnterIdle();
    // Opens the link for an update. False when the link cannot be opened or
    // no driver speaks its protocol (a diagnostic line says which).
    bool PrepareUpdate();
    // The update worker's body for the controller's protocol; without its
    // driver, a quiet result.
    UpdateResult RunUpdate();

    // --- Stop: one request ends the running step at its next safe point,
    // and every later one; a session is not restarted after a stop ---
    void RequestStop() { m_Stop.Request(); }
    bool StopRequested() const { return m_Stop.Requested(); }
    const StopSignal& Stop() const { return m_Stop; }
    // A pause through the clock that a stop request ends early; false then.
    bool Pause(std::uint32_t ms);

    // --- Operations the protocols share ---
    // The update button enabled exactly when a controller is present.
    void RefreshUpdateButton();
    int ShowMessage(const std::u16string& text, MessageButtons buttons = MessageButtons::Ok);

    IClock& Clock() { return m_Clock; }
    IUpdateUi& Ui() { return m_Ui; }
    // The driver of the link's protocol, or null when none speaks it.
    ProtocolDriver* Driver();

    void SetOptions(const UpdateOptions& options) { m_Options = options; }
    const UpdateOptions& Options() const { return m_Options; }
    // From PrepareUpdate until RunUpdate has returned.
    bool Updating() const { return m_Updating; }
    // What the last package selection found (a front end may explain it).
    const SelectionOutcome& LastSelection() const { return m_LastSelection; }
    void NoteSelection(const SelectionOutcome& outcome) { m_LastSelection = outcome; }

    CHid HidLink;
    DeviceDescription device;
    TransferRecord transfer{};
    std::u16string packagePath;
    PackageFile packageFile;

private:
    // Driver(), or null after a diagnostic line naming the variant.
    ProtocolDriver* DriverOrSay();

    IClock& m_Clock;
    IUpdateUi& m_Ui;
    ProtocolDrivers m_Drivers;
    StopSignal m_Stop;
    UpdateOptions m_Options;
    SelectionOutcome m_LastSelection;
    bool m_Updating = false;
};
