#include "app/update_app.h"
#include "protocols/standard_protocols.h"

CUpdateApp::CUpdateApp(IHidBackend& backend, IDialogView& view, IClock& clock, ModalRunner runModal)
    : m_Backend(backend), m_View(view), m_Clock(clock), m_RunModal(std::move(runModal))
{
}

bool CUpdateApp::InitInstance()
{
    CUpdateDlg dialog(m_Backend, m_View, m_Clock, StandardProtocolDrivers());
    m_RunModal(dialog);
    return false;
}
