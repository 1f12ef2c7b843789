#include "app/update_dlg.h"

#include "engine/device_change_policy.h"
#include "engine/session_start.h"
#include "text/text_table.h"

CUpdateDlg::CUpdateDlg(IHidBackend& backend, IDialogView& view, IClock& clock,
                       ProtocolDrivers drivers, IPackageOffer* offer)
    : m_View(view),
      m_UpdateButton(view, kIdUpdateButton),
      m_ProgressBar(view, kIdProgressBar),
      m_DoneLabel(view, kIdDoneLabel),
      m_HintLabel(view, kIdHintLabel),
      m_Session(backend, clock, *this, std::move(drivers)),
      m_Offer(offer)
{
}

CUpdateDlg::~CUpdateDlg()
{
    // No worker outlives the dialog it uses.
    m_Session.RequestStop();
    if (m_Offer)
        m_Offer->Stop();
    WaitForWorker();
}

bool CUpdateDlg::OnInitDialog()
{
    m_View.SetIcons();
    m_DoneLabel.ShowWindow(false);
    m_DoneLabel.SetWindowText(LoadText(TextId::Success));
    m_HintLabel.SetWindowText(LoadText(TextId::Instructions));
    m_ProgressBar.SetRange(0, 100);
    m_ProgressBar.SetPos(0);
    m_Session.transfer = TransferRecord{};
    m_UpdateButton.SetWindowText(LoadText(TextId::UpdateButton));
    m_Session.HidLink.m_NotifyWindow = m_View.NotifyTarget();
    StartSession(m_Session, {StartIdle::AsAfterImage, std::nullopt});
    NoteArrival(false);
    return true;
}

bool CUpdateDlg::OnDeviceChange(std::uint32_t event, std::uintptr_t)
{
    if (!IsHandledDeviceChange(event))
        return true;
    // While a worker owns the link, a notification only leaves a note; it is
    // handled on this thread once the update has ended.
    if (m_Deferral.Defer())
        return true;
    const bool wasPresent = m_Present;
    ApplyDeviceChange(m_Session, event & 0xFFFF);
    NoteArrival(wasPresent);
    return true;
}

void CUpdateDlg::OnUpdateClicked()
{
    if (WorkerActive())
        return;  // one update at a time
    m_DoneLabel.ShowWindow(false);
    if (!m_Session.PrepareUpdate())
        return;
    m_UpdateButton.EnableWindow(false);
    m_ProgressBar.SetPos(0);
    RunWorker();
}

void CUpdateDlg::RunWorker()
{
    if (m_Worker.joinable())
        m_Worker.join();  // the previous worker has ended; reap it
    m_Deferral.Begin();
    m_Worker = std::thread([this] {
        m_LastResult = m_Session.RunUpdate();
        FinishWorker();
    });
}

// Runs on the worker after its last step; what came meanwhile is posted
// back to the UI thread (DeviceChangeDeferral).
void CUpdateDlg::FinishWorker()
{
    if (m_Deferral.End(m_Session.StopRequested()))
        m_View.PostDeviceChange(kDbtDevNodesChanged);
    m_View.WakeUi();
}

void CUpdateDlg::NoteArrival(bool wasPresent)
{
    if (m_Offer && m_Present && !wasPresent)
        m_Offer->ControllerAttached();
}

bool CUpdateDlg::WorkerActive() const { return m_Deferral.Active(); }

void CUpdateDlg::WaitForWorker()
{
    if (!m_Worker.joinable())
        return;
    if (m_Worker.get_id() == std::this_thread::get_id())
        return;
    m_View.PumpUntil([this] { return !WorkerActive(); });
    m_Worker.join();
    // Views that deliver posted events while pumping handle the worker's
    // last one now.
    m_View.PumpUntil([] { return true; });
}

bool CUpdateDlg::OnCloseRequested()
{
    if (!WorkerActive())
        return true;
    if (ShowMessage(LoadText(TextId::StopUpdateQuestion), MessageButtons::OkCancel) != kIdOk)
        return false;
    if (!WorkerActive())
        return true;
    m_Session.RequestStop();
    WaitForWorker();
    return true;
}

void CUpdateDlg::SetTitle(const std::u16string& title) { m_View.SetTitle(title); }

int CUpdateDlg::ShowMessage(const std::u16string& text, MessageButtons buttons)
{
    return m_View.MessageBox(text, LoadText(TextId::Title), buttons);
}

void CUpdateDlg::SetProgress(int position) { m_ProgressBar.SetPos(position); }

void CUpdateDlg::EnableUpdateButton(bool enable)
{
    m_Present = enable;
    m_UpdateButton.EnableWindow(enable);
}

void CUpdateDlg::ShowDoneLabel() { m_DoneLabel.ShowWindow(true); }

bool CUpdateDlg::ChooseFile(const FileOpenRequest& request, std::u16string& path)
{
    const auto chooser = [&](std::u16string& chosen) { return m_View.FileOpenDialog(request, chosen); };
    return m_Offer ? m_Offer->ChoosePackage(m_Session, chooser, path) : chooser(path);
}

std::u16string CUpdateDlg::CurrentDirectory() { return m_View.CurrentDirectory(); }
