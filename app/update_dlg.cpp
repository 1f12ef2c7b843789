#include "app/update_dlg.h"

#include "base/diagnostics.h"
#include "text/text_table.h"

CUpdateDlg::CUpdateDlg(IHidBackend& backend, IDialogView& view, IClock& clock,
                       ProtocolDrivers drivers)
    : m_View(view),
      m_UpdateButton(view, kIdUpdateButton),
      m_ProgressBar(view, kIdProgressBar),
      m_DoneLabel(view, kIdDoneLabel),
      m_HintLabel(view, kIdHintLabel),
      m_Session(backend, clock, *this, std::move(drivers))
{
}

CUpdateDlg::~CUpdateDlg()
{
    // No worker outlives the dialog it uses.
    m_Session.RequestStop();
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
    m_Session.device.cur_devVersion = VersionProbeSentinel;
    if (m_Session.HidLink.ProbeHid()) {
        m_UpdateButton.EnableWindow(true);
        m_Session.Attach();
    } else {
        m_UpdateButton.EnableWindow(false);
    }
    // The dialog, unlike the command line, waits as after a finished image
    // from its first attach on: a stream controller that asks for data before
    // it has announced itself is told END_UPDATE.
    m_Session.EnterIdle();
    SetTitle(LoadText(TextId::Title));
    return true;
}

bool CUpdateDlg::OnDeviceChange(std::uint32_t event, std::uintptr_t)
{
    const std::uint32_t code = event & 0xFFFF;
    if (code != kDbtDevNodesChanged && code != kDbtDeviceArrival &&
        code != kDbtDeviceRemoveComplete)
        return true;
    if (DeferWhileWorkerRuns())
        return true;
    HandleDeviceChange(code);
    return true;
}

// While a worker owns the link, a notification only leaves a note; it is
// handled on this thread once the update has ended.
bool CUpdateDlg::DeferWhileWorkerRuns()
{
    std::lock_guard<std::mutex> guard(m_WorkerMutex);
    if (!m_WorkerActive)
        return false;
    m_PendingNotification = true;
    return true;
}

void CUpdateDlg::HandleDeviceChange(std::uint32_t code)
{
    const bool present = m_Session.HidLink.ProbeHid() != 0;
    if (code == kDbtDeviceRemoveComplete) {
        if (!present) {
            m_UpdateButton.EnableWindow(false);
            DebugOut(LoadText(TextId::Title));
            SetTitle(LoadText(TextId::Title));
        }
        return;
    }
    if (present) {
        m_UpdateButton.EnableWindow(true);
        m_Session.Attach();
    } else if (code == kDbtDevNodesChanged) {
        m_UpdateButton.EnableWindow(false);
        SetTitle(LoadText(TextId::Title));
    }
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
    {
        std::lock_guard<std::mutex> guard(m_WorkerMutex);
        m_WorkerActive = true;
        m_PendingNotification = false;
    }
    m_Worker = std::thread([this] {
        m_LastResult = m_Session.RunUpdate();
        FinishWorker();
    });
}

// Runs on the worker after its last step. Notifications that came during the
// update are posted back to the UI thread as one code 7: whatever they were,
// the controller is now either there (attach it) or not (plain title).
void CUpdateDlg::FinishWorker()
{
    bool post = false;
    {
        std::lock_guard<std::mutex> guard(m_WorkerMutex);
        post = m_PendingNotification && !m_Session.StopRequested();
        m_PendingNotification = false;
        m_WorkerActive = false;
    }
    if (post)
        m_View.PostDeviceChange(kDbtDevNodesChanged);
    m_View.WakeUi();
}

bool CUpdateDlg::WorkerActive() const
{
    std::lock_guard<std::mutex> guard(m_WorkerMutex);
    return m_WorkerActive;
}

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

void CUpdateDlg::EnableUpdateButton(bool enable) { m_UpdateButton.EnableWindow(enable); }

void CUpdateDlg::ShowDoneLabel() { m_DoneLabel.ShowWindow(true); }

bool CUpdateDlg::ChooseFile(const FileOpenRequest& request, std::u16string& path)
{
    return m_View.FileOpenDialog(request, path);
}

std::u16string CUpdateDlg::CurrentDirectory() { return m_View.CurrentDirectory(); }
