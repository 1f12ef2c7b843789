#include "platform/web/web_app.h"

#include <utility>

#include "base/utf.h"
#include "engine/session_start.h"
#include "protocols/standard_protocols.h"
#include "platform/web/web_host.h"
#include "platform/web/webhid_backend.h"
#include "sim/virtual_hid_bus.h"

WebApp::WebApp(std::optional<DemoKind> demo, bool chinese) : m_Chinese(chinese)
{
    SetUiLanguage(this);
    SetDiagnosticSink(this);
    if (demo) {
        m_DemoBus = std::make_unique<VirtualHidBus>(m_Clock);
        PlugDemoController(*m_DemoBus, *demo);
        m_Backend = m_DemoBus.get();
    } else {
        m_WebHid = std::make_unique<WebHidBackend>();
        m_Backend = m_WebHid.get();
    }
    NewSession();
    m_Station = std::make_unique<WebStation>(*m_Backend, m_Clock, [this](int percent) { m_Ui.SetProgress(percent); });
}

WebApp::~WebApp()
{
    m_Station.reset();
    m_Session.reset();
    SetDiagnosticSink(nullptr);
    SetUiLanguage(nullptr);
}

void WebApp::NewSession()
{
    m_Session.reset();
    m_Session = std::make_unique<UpdateSession>(*m_Backend, m_Clock, m_Ui, StandardProtocolDrivers());
    m_Session->transfer = TransferRecord{};
}

std::uint16_t WebApp::UserDefaultUILanguage() { return m_Chinese ? kLangZhCn : kLangEnUs; }

void WebApp::Write(const std::u16string& line) { web_log(Utf16ToUtf8(line).c_str()); }

void WebApp::Start()
{
    // As the dialog: from the first attach on, wait as after a finished image.
    StartSession(*m_Session, {StartIdle::AsAfterImage, std::nullopt});
}

bool WebApp::DeviceChange(std::uint32_t code)
{
    if (m_Deferral.Defer())
        return false;
    ApplyDeviceChange(*m_Session, code);
    return true;
}

bool WebApp::TakeDeferredChange()
{
    const bool handle = m_DeferredChange;
    m_DeferredChange = false;
    return handle;
}

UpdateOutcome WebApp::Update()
{
    // From the first step on: the page suspends in PrepareUpdate too.
    m_Deferral.Begin();
    UpdateOptions options;
    options.binding = std::exchange(m_NextBinding, std::nullopt);
    m_Session->SetOptions(options);
    UpdateOutcome outcome = UpdateOutcome::Quiet;
    if (m_Session->PrepareUpdate()) {
        m_Ui.EnableUpdateButton(false);
        m_Ui.SetProgress(0);
        outcome = m_Session->RunUpdate().outcome;
    }
    m_DeferredChange = m_Deferral.End(m_Session->StopRequested());
    // A session is not restarted after a stop: the next update gets a new one.
    if (m_Session->StopRequested())
        NewSession();
    return outcome;
}

std::optional<WebApp::Connected> WebApp::ConnectedController() const
{
    const UpdateSession& s = *m_Session;
    if (!s.HidLink.m_Present || s.device.cur_devVersion == VersionProbeSentinel)
        return std::nullopt;
    return Connected{s.HidLink.ProtocolVariant, s.device.cur_devVersion};
}

std::optional<ControllerFacts> WebApp::Facts() const
{
    if (!ConnectedController())
        return std::nullopt;
    const CHid& link = m_Session->HidLink;
    return ControllerFacts{link.ProtocolVariant, link.FoundUsbId().value_or(UsbId{}), m_Session->device};
}

void WebApp::RequestStop()
{
    m_Session->RequestStop();
    m_Station->RequestStop();
}
