#include "app/update_app.h"
#include "protocols/standard_protocols.h"

CUpdateApp::CUpdateApp(IHidBackend& backend, IDialogView& view, IClock& clock, ModalRunner runModal,
                       IPackageOffer* offer)
    : m_Backend(backend), m_View(view), m_Clock(clock), m_RunModal(std::move(runModal)), m_Offer(offer)
{
}

bool CUpdateApp::InitInstance()
{
    CUpdateDlg dialog(m_Backend, m_View, m_Clock, StandardProtocolDrivers(), m_Offer);
    m_RunModal(dialog);
    return false;
}
