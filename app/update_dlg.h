#pragma once
// The main dialog's logic: controls, device presence, the update click and
// the worker that runs one update. The update itself is the session's; the
// dialog is the session's front end, and the window is an IDialogView.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "app/control.h"
#include "app/dialog_view.h"
#include "app/package_offer.h"
#include "base/clock.h"
#include "engine/device_change_policy.h"
#include "engine/update_session.h"

class CUpdateDlg final : private IUpdateUi {
public:
    // offer: asked before the file chooser; none keeps the dialog as it was.
    CUpdateDlg(IHidBackend& backend, IDialogView& view, IClock& clock, ProtocolDrivers drivers,
               IPackageOffer* offer = nullptr);
    ~CUpdateDlg() override;
    CUpdateDlg(const CUpdateDlg&) = delete;
    CUpdateDlg& operator=(const CUpdateDlg&) = delete;

    // --- Handlers (UI thread) ---
    bool OnInitDialog();
    bool OnDeviceChange(std::uint32_t event, std::uintptr_t data);
    void OnUpdateClicked();
    // Esc or the close box. While an update runs the user is asked first
    // (TextId::StopUpdateQuestion, OK/Cancel); on OK the worker is stopped and joined. True when
    // the dialog may close.
    bool OnCloseRequested();

    // True from an update click until its worker has ended.
    bool WorkerActive() const;
    // Waits for the current worker (if any) to end, serving the UI. Not from
    // the worker.
    void WaitForWorker();

    UpdateSession& Session() { return m_Session; }
    // What the last update ended in; read once its worker has ended.
    const UpdateResult& LastResult() const { return m_LastResult; }
    IDialogView& View() { return m_View; }

private:
    // IUpdateUi, on the dialog's controls.
    void SetTitle(const std::u16string& title) override;
    int ShowMessage(const std::u16string& text, MessageButtons buttons) override;
    void SetProgress(int position) override;
    void EnableUpdateButton(bool enable) override;
    void ShowDoneLabel() override;
    bool ChooseFile(const FileOpenRequest& request, std::u16string& path) override;
    std::u16string CurrentDirectory() override;

    void RunWorker();
    void FinishWorker();
    // After a device change: a controller that was not there before is.
    void NoteArrival(bool wasPresent);

    IDialogView& m_View;
    CControl m_UpdateButton;
    CControl m_ProgressBar;
    CControl m_DoneLabel;
    CControl m_HintLabel;
    UpdateSession m_Session;
    IPackageOffer* m_Offer;
    std::atomic<bool> m_Present{false};  // the update button's state
    UpdateResult m_LastResult;  // written by the worker, read after it ended

    DeviceChangeDeferral m_Deferral;  // active while the worker runs
    std::thread m_Worker;
};
