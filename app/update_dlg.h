#pragma once
// The main dialog's logic: controls, device presence, the update click and
// the state of one update. The window itself is an IDialogView.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "app/clock.h"
#include "app/control.h"
#include "app/dialog_view.h"
#include "block/device_memory_map.h"
#include "hid/hid.h"
#include "package/package_file.h"
#include "package/package_header.h"

// Values of the current transfer; OnInitDialog zeroes all of it.
struct TransferRecord {
    std::uint8_t blockBuffer[128];
    std::uint32_t packageVersionWord;
    std::uint32_t bytesSent;
    std::uint32_t recordOffset;
    std::uint32_t imageAddress;
    std::uint32_t imageSize;
    PackageHeader packageHeader;
};

class CUpdateDlg {
public:
    CUpdateDlg(IHidBackend& backend, IDialogView& view, IClock& clock);
    ~CUpdateDlg();
    CUpdateDlg(const CUpdateDlg&) = delete;
    CUpdateDlg& operator=(const CUpdateDlg&) = delete;

    // --- Handlers (UI thread) ---
    bool OnInitDialog();
    bool OnDeviceChange(std::uint32_t event, std::uintptr_t data);
    void OnUpdateClicked();
    // Esc or the close box. While an update runs the user is asked first
    // (text 2, OK/Cancel); on OK the worker is stopped and joined. True when
    // the dialog may close.
    bool OnCloseRequested();

    // --- Operations of the protocols (UI thread or the worker) ---
    void StopTransfer();
    void RefreshUpdateButton();
    void SetProgress(int position);
    void SetTitle(const std::u16string& title);
    // Message box with caption text 6, owned by the dialog.
    int ShowMessage(const std::u16string& text, MessageButtons buttons = MessageButtons::Ok);

    // True from an update click until its worker has ended.
    bool WorkerActive() const;
    // Set when the dialog is closing: workers stop at their next safe point.
    bool AbortRequested() const { return m_AbortRequested.load(); }
    // Waits for the current worker (if any) to end. Not from the worker.
    void WaitForWorker();

    IDialogView& View() { return m_View; }
    IClock& Clock() { return m_Clock; }

    CHid HidLink;
    TransferRecord transfer{};
    std::u16string packagePath;
    PackageFile packageFile;

    // What the protocols record about the attached controller.
    std::uint8_t deviceSubModel = 0;
    std::uint16_t deviceModel = 0;
    std::uint32_t currentDeviceType = 0;
    DeviceMemoryMap memoryMap;

private:
    void HandleDeviceChange(std::uint32_t code);
    void RunWorker(unsigned (*entry)(void*));
    void FinishWorker();
    bool DeferWhileWorkerRuns();

    IDialogView& m_View;
    IClock& m_Clock;
    CControl m_UpdateButton;
    CControl m_ProgressBar;
    CControl m_DoneLabel;
    CControl m_HintLabel;

    mutable std::mutex m_WorkerMutex;
    bool m_WorkerActive = false;      // guarded by m_WorkerMutex
    bool m_PendingNotification = false;  // guarded by m_WorkerMutex
    std::thread m_Worker;
    std::atomic<bool> m_AbortRequested{false};
};
