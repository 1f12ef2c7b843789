#include "platform/web/web_app.h"

#include "base/utf.h"
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
}

WebApp::~WebApp()
{
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
    UpdateSession& s = *m_Session;
    s.device.cur_devVersion = VersionProbeSentinel;
    if (s.HidLink.ProbeHid()) {
        m_Ui.EnableUpdateButton(true);
        s.Attach();
    } else {
        m_Ui.EnableUpdateButton(false);
    }
    // As the dialog: from the first attach on, wait as after a finished image.
    s.EnterIdle();
    m_Ui.SetTitle(LoadText(TextId::Title));
}

void WebApp::DeviceChange(std::uint32_t code)
{
    UpdateSession& s = *m_Session;
    const bool present = s.HidLink.ProbeHid() != 0;
    if (code == kDbtDeviceRemoveComplete) {
        if (!present) {
            m_Ui.EnableUpdateButton(false);
            DebugOut(LoadText(TextId::Title));
            m_Ui.SetTitle(LoadText(TextId::Title));
        }
        return;
    }
    if (present) {
        m_Ui.EnableUpdateButton(true);
        s.Attach();
    } else if (code == kDbtDevNodesChanged) {
        m_Ui.EnableUpdateButton(false);
        m_Ui.SetTitle(LoadText(TextId::Title));
    }
}

UpdateOutcome WebApp::Update()
{
    if (!m_Session->PrepareUpdate())
        return UpdateOutcome::Quiet;
    m_Ui.EnableUpdateButton(false);
    m_Ui.SetProgress(0);
    const UpdateOutcome outcome = m_Session->RunUpdate().outcome;
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
    return Connected{s.HidLink.ProtocolVariant == kProtocolBlock, s.device.cur_devVersion};
}

std::optional<ControllerFacts> WebApp::Facts() const
{
    if (!ConnectedController())
        return std::nullopt;
    return ControllerFacts{m_Session->HidLink.ProtocolVariant, m_Session->device};
}

void WebApp::RequestStop() { m_Session->RequestStop(); }
