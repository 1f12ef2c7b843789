#pragma once
// The page's front end: one controller (granted over WebHID, or simulated in
// the demo mode), its update session and the dialog's behaviour around it
// (start, device changes, the update click, a stop).
//
// One thread. Calls that reach the device suspend the module (Asyncify); the
// page makes one such call at a time and holds device changes back while
// one runs, as the dialog holds them while its worker runs.
#include <cstdint>
#include <memory>
#include <optional>

#include "base/diagnostics.h"
#include "engine/device_change_policy.h"
#include "catalogue/package_choice.h"
#include "engine/update_result.h"
#include "engine/update_session.h"
#include "platform/web/web_clock.h"
#include "platform/web/web_station.h"
#include "platform/web/web_ui.h"
#include "sim/demo_setup.h"
#include "text/text_table.h"

class VirtualHidBus;

class WebApp final : private IUiLanguage, private IDiagnosticSink {
public:
    // Without demo, the controller is reached over WebHID.
    WebApp(std::optional<DemoKind> demo, bool chinese);
    ~WebApp() override;
    WebApp(const WebApp&) = delete;
    WebApp& operator=(const WebApp&) = delete;

    // The dialog's start: title, probe and, with a controller, attach.
    void Start();
    // A device change (the dialog's event codes). While an update runs it
    // is only noted and false comes back at once, without reaching the
    // device, so the page may call it while the update is suspended.
    bool DeviceChange(std::uint32_t code);
    // Once per finished update: true when changes came during it and it did
    // not end on a stop; the page then sends one code 7.
    bool TakeDeferredChange();
    // The update click, run to its end.
    UpdateOutcome Update();
    // The next update is of a catalogue's package: the controllers it is
    // for. Taken by that update alone; nullopt for a loose file.
    void BindNextUpdate(std::optional<ControllerBinding> binding) { m_NextBinding = std::move(binding); }
    // Ends the running update at its next safe point. The page wakes its
    // waits; once the update has returned, the next one gets a new session.
    void RequestStop();
    // What the last package selection found (for the page's status line).
    SelectionRefusal LastRefusal() const { return m_Session->LastSelection().refusal; }
    // The attached controller's protocol and running version word, once an
    // attach has read it; nothing while none is present or none was read.
    struct Connected {
        std::uint32_t protocolVariant;
        std::uint32_t version;
    };
    std::optional<Connected> ConnectedController() const;
    // The same controller as the catalogue's rules see it.
    std::optional<ControllerFacts> Facts() const;

    // Station mode: its units run through this app's backend and clock.
    WebStation& Station() { return *m_Station; }

private:
    std::uint16_t UserDefaultUILanguage() override;
    void Write(const std::u16string& line) override;
    void NewSession();

    bool m_Chinese;
    WebClock m_Clock;
    WebUi m_Ui;
    std::unique_ptr<VirtualHidBus> m_DemoBus;
    std::unique_ptr<IHidBackend> m_WebHid;
    IHidBackend* m_Backend = nullptr;
    std::unique_ptr<UpdateSession> m_Session;
    DeviceChangeDeferral m_Deferral;  // active while an update runs
    bool m_DeferredChange = false;
    std::optional<ControllerBinding> m_NextBinding;
    std::unique_ptr<WebStation> m_Station;
};
