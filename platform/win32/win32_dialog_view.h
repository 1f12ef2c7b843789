#pragma once
// IDialogView over the Win32 dialog window of template 102.
//
// Threads: the control, title and progress methods may run on the UI thread
// or on the update worker. From the worker they go through the window
// manager's synchronous cross-thread messages (WM_SETTEXT, WM_ENABLE,
// PBM_SETPOS, ...), so they are carried out by the UI thread, which must be
// serving messages (the dialog's loop or PumpUntil), and are done on return.
// MessageBox and FileOpenDialog show their window on the calling thread,
// owned by the dialog, and block that thread until the user has answered;
// no time-out. PumpUntil runs on the UI thread only; WakeUi on any thread.
#include "platform/win32/windows_api.h"

#include <atomic>
#include <optional>

#include "app/dialog_view.h"

class Win32DialogView final : public IDialogView {
public:
    explicit Win32DialogView(HICON icon);
    ~Win32DialogView() override;
    Win32DialogView(const Win32DialogView&) = delete;
    Win32DialogView& operator=(const Win32DialogView&) = delete;

    // The dialog window from WM_INITDIALOG until it is destroyed (UI thread).
    void Attach(HWND window) { m_Window = window; }
    void Detach() { m_Window = nullptr; }
    HWND Window() const { return m_Window; }

    void SetTitle(const std::u16string& title) override;
    std::u16string Title() override;
    void SetControlText(int id, const std::u16string& text) override;
    void EnableControl(int id, bool enable) override;
    void ShowControl(int id, bool show) override;
    void SetProgressRange(std::uint16_t low, std::uint16_t high) override;
    void SetProgressPos(int position) override;
    void SetIcons() override;
    int MessageBox(const std::u16string& text, const std::u16string& caption,
                   MessageButtons buttons) override;
    bool FileOpenDialog(const FileOpenRequest& request, std::u16string& path) override;
    std::u16string CurrentDirectory() override;
    NotifyWindow NotifyTarget() override;
    // Serves sent and posted messages until done() holds; sleeps in
    // MsgWaitForMultipleObjectsEx between them. A WM_QUIT met meanwhile is
    // posted again once done() holds.
    void PumpUntil(const std::function<bool()>& done) override;
    void WakeUi() override;

private:
    HWND Control(int id) const;
    void DispatchPending(std::optional<int>& quitCode);

    HICON m_Icon;
    HANDLE m_Wake;  // auto-reset: set by WakeUi, so no wake is lost
    std::atomic<HWND> m_Window{nullptr};
};
