#include "app/update_dlg.h"

#include <cstring>

#include "app/diagnostics.h"
#include "app/process_state.h"
#include "app/text_table.h"
#include "block/block_worker.h"
#include "stream/stream_worker.h"

namespace {
constexpr int kTextSuccess = 4;
constexpr int kTextTitle = 6;
constexpr int kTextButton = 12;
constexpr int kTextHint = 14;
constexpr int kTextStopUpdate = 2;
}  // namespace

CUpdateDlg::CUpdateDlg(IHidBackend& backend, IDialogView& view, IClock& clock)
    : HidLink(backend),
      m_View(view),
      m_Clock(clock),
      m_UpdateButton(view, kIdUpdateButton),
      m_ProgressBar(view, kIdProgressBar),
      m_DoneLabel(view, kIdDoneLabel),
      m_HintLabel(view, kIdHintLabel)
{
    ActiveDialog = this;
}

CUpdateDlg::~CUpdateDlg()
{
    // No worker outlives the dialog it uses.
    m_AbortRequested = true;
    StopFlag = 1;
    WaitForWorker();
    packageFile.Close();
    CUpdateDlg* self = this;
    ActiveDialog.compare_exchange_strong(self, nullptr);
}

bool CUpdateDlg::OnInitDialog()
{
    m_View.SetIcons();
    UpdateButton = &m_UpdateButton;
    ProgressBar = &m_ProgressBar;
    DoneLabel = &m_DoneLabel;
    m_DoneLabel.ShowWindow(false);
    m_DoneLabel.SetWindowText(LoadText(kTextSuccess));
    HintLabel = &m_HintLabel;
    m_HintLabel.SetWindowText(LoadText(kTextHint));
    m_ProgressBar.SetRange(0, 100);
    m_ProgressBar.SetPos(0);
    transfer = TransferRecord{};
    StopFlag = 1;
    m_UpdateButton.SetWindowText(LoadText(kTextButton));
    HidLink.m_NotifyWindow = m_View.NotifyTarget();
    cur_devVersion = VersionProbeSentinel;
    if (HidLink.ProbeHid()) {
        m_UpdateButton.EnableWindow(true);
        AttachDevice();
    } else {
        m_UpdateButton.EnableWindow(false);
    }
    TransferState = 3;
    SetTitle(LoadText(kTextTitle));
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

// While a worker owns the link, a notification only leaves a note; the
// worker handles it once its update has ended.
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
    const bool present = HidLink.ProbeHid() != 0;
    if (code == kDbtDeviceRemoveComplete) {
        if (!present) {
            m_UpdateButton.EnableWindow(false);
            DebugOut(LoadText(kTextTitle));
            SetTitle(LoadText(kTextTitle));
        }
        return;
    }
    if (present) {
        m_UpdateButton.EnableWindow(true);
        AttachDevice();
    } else if (code == kDbtDevNodesChanged) {
        m_UpdateButton.EnableWindow(false);
        SetTitle(LoadText(kTextTitle));
    }
}

void CUpdateDlg::OnUpdateClicked()
{
    if (WorkerActive())
        return;  // one update at a time
    m_DoneLabel.ShowWindow(false);
    if (!HidLink.OpenHid())
        return;
    StopFlag = 0;
    m_UpdateButton.EnableWindow(false);
    m_ProgressBar.SetPos(0);
    RunWorker(ProtocolVariant == kProtocolBlock ? &BlockUpdateThread : &Usb_UpdateThread);
}

void CUpdateDlg::RunWorker(unsigned (*entry)(void*))
{
    if (m_Worker.joinable())
        m_Worker.join();  // the previous worker has ended; reap it
    {
        std::lock_guard<std::mutex> guard(m_WorkerMutex);
        m_WorkerActive = true;
        m_PendingNotification = false;
    }
    m_Worker = std::thread([this, entry] {
        entry(nullptr);
        FinishWorker();
    });
}

// Runs on the worker after its last step. Notifications that came during
// the update are handled here, while the link is still this thread's, so the
// UI thread never meets the worker on the link.
void CUpdateDlg::FinishWorker()
{
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(m_WorkerMutex);
            if (!m_PendingNotification || m_AbortRequested) {
                m_WorkerActive = false;
                break;
            }
            m_PendingNotification = false;
        }
        // Whatever the notifications were, the controller is now either
        // there (attach it) or not (plain title): the rule of code 7.
        HandleDeviceChange(kDbtDevNodesChanged);
    }
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
}

bool CUpdateDlg::OnCloseRequested()
{
    if (!WorkerActive())
        return true;
    if (ShowMessage(LoadText(kTextStopUpdate), MessageButtons::OkCancel) != kIdOk)
        return false;
    if (!WorkerActive())
        return true;
    m_AbortRequested = true;
    StopFlag = 1;
    WaitForWorker();
    return true;
}

void CUpdateDlg::StopTransfer()
{
    packageFile.Close();
    StopFlag = 1;
}

void CUpdateDlg::RefreshUpdateButton()
{
    m_UpdateButton.EnableWindow(HidLink.ProbeHid() != 0);
}

void CUpdateDlg::SetProgress(int position) { m_ProgressBar.SetPos(position); }

void CUpdateDlg::SetTitle(const std::u16string& title) { m_View.SetTitle(title); }

int CUpdateDlg::ShowMessage(const std::u16string& text, MessageButtons buttons)
{
    return m_View.MessageBox(text, LoadText(kTextTitle), buttons);
}
