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
#include "engine/device_description.h"
#include "engine/firmware_selection.h"
#include "engine/image_verification.h"
#include "engine/transfer_record.h"
#include "engine/update_ui.h"
#include "hid/hid.h"
#include "package/package_file.h"

class UpdateSession {
public:
    UpdateSession(IHidBackend& backend, IClock& clock, IUpdateUi& ui);
    ~UpdateSession();
    UpdateSession(const UpdateSession&) = delete;
    UpdateSession& operator=(const UpdateSession&) = delete;

    // --- Steps ---
    // Opens the link to the controller found last and reads its version (or,
    // for a block controller, identifies it). Bounded.
    void Attach();
    // Opens the link for an update. False when the link cannot be opened.
    bool PrepareUpdate();
    // The update worker's body for the controller's protocol.
    void RunUpdate();

    // --- Stop: one request ends the running step at its next safe point,
    // and every later one; a session is not restarted after a stop ---
    void RequestStop() { m_Stop.Request(); }
    bool StopRequested() const { return m_Stop.Requested(); }
    // A pause through the clock that a stop request ends early; false then.
    bool Pause(std::uint32_t ms);

    // --- Operations the protocols share ---
    // The package is closed and the stream loop ends.
    void StopTransfer();
    // The update button enabled exactly when a controller is present.
    void RefreshUpdateButton();
    int ShowMessage(const std::u16string& text, MessageButtons buttons = MessageButtons::Ok);

    IClock& Clock() { return m_Clock; }
    IUpdateUi& Ui() { return m_Ui; }

    CHid HidLink;
    DeviceDescription device;
    TransferRecord transfer{};
    std::u16string packagePath;
    PackageFile packageFile;
    // Non-zero ends the stream worker's read loop.
    std::uint32_t StopFlag = 0;
    // Stream: 1 first chunk next, 2 further chunks, 3 image sent.
    std::uint32_t TransferState = 0;
    // Stream: this update has sent the whole image (state 3 alone also
    // holds outside any update).
    bool imageSent = false;
    // What the last package selection found (a front end may explain it).
    SelectionOutcome lastSelection;
    // The package this update's user chose and confirmed, once they have.
    std::optional<TransferPlan> updatePlan;
    // From PrepareUpdate until RunUpdate has returned.
    bool updating = false;
    // Block: read the image back before the version word and Finish; a
    // failed check sends neither, so the controller stays in its updater.
    bool verifyImage = false;
    VerifyResult verifyResult;

private:
    IClock& m_Clock;
    IUpdateUi& m_Ui;
    StopSignal m_Stop;
};
