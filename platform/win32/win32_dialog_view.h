#pragma once
// IDialogView over the Win32 dialog window of template 102.
//
// Threads: the UI thread or the update worker, except PumpUntil (UI thread
// only). From the worker, the title, control and progress calls travel as
// the window manager's synchronous cross-thread messages (WM_SETTEXT,
// WM_GETTEXT, WM_ENABLE, PBM_SETPOS, ...): the UI thread carries them out
// while it serves messages (the dialog's loop, a modal box or PumpUntil) and
// their effect is in place when they return. None of them has a time-out.
#include "platform/win32/windows_api.h"

#include <atomic>
#include <optional>

#include "app/dialog_view.h"
#include "app/package_offer.h"

// A device-change event queued for the dialog by another source than the
// system (the simulated bus, or the dialog itself after an update): wParam
// is the event code. The system refuses to queue WM_DEVICECHANGE itself,
// since its arrival and removal events carry a pointer; the dialog turns
// this message into the WM_DEVICECHANGE the system would send, with a
// device-interface record for the HID class.
inline constexpr UINT kQueuedDeviceChange = WM_APP + 1;

class Win32DialogView final : public IDialogView, public IOfferAsker {
public:
    explicit Win32DialogView(HICON icon);
    ~Win32DialogView() override;
    Win32DialogView(const Win32DialogView&) = delete;
    Win32DialogView& operator=(const Win32DialogView&) = delete;

    // The dialog window from WM_INITDIALOG until it is destroyed (UI thread).
    void Attach(HWND window) { m_Window = window; }
    void Detach() { m_Window = nullptr; }
    HWND Window() const { return m_Window; }

    // The window's or a control's text; Title returns the window's text.
    void SetTitle(const std::u16string& title) override;
    std::u16string Title() override;
    void SetControlText(int id, const std::u16string& text) override;
    void EnableControl(int id, bool enable) override;
    void ShowControl(int id, bool show) override;
    // PBM_SETRANGE and PBM_SETPOS to the progress bar 1003.
    void SetProgressRange(std::uint16_t low, std::uint16_t high) override;
    void SetProgressPos(int position) override;
    // WM_SETICON big, then small, with the icon given at construction.
    void SetIcons() override;
    // MessageBoxW owned by the dialog, shown on the calling thread, which it
    // blocks until the user answers: kIdOk for OK, kIdCancel otherwise.
    int MessageBox(const std::u16string& text, const std::u16string& caption,
                   MessageButtons buttons) override;
    // GetOpenFileNameW owned by the dialog, on the calling thread (in a COM
    // apartment of its own while it is open), until the user answers. The
    // filter's "|" form becomes the NUL-separated form; the rest is passed
    // as given. True with the full path on OK.
    bool FileOpenDialog(const FileOpenRequest& request, std::u16string& path) override;
    // GetCurrentDirectoryW; empty when it fails.
    std::u16string CurrentDirectory() override;
    // The dialog's window handle.
    NotifyWindow NotifyTarget() override;
    // Posts kQueuedDeviceChange to the dialog window; dropped once it is gone.
    void PostDeviceChange(std::uint32_t event) override;
    // Serves sent and posted messages until done() holds; sleeps in
    // MsgWaitForMultipleObjectsEx between them. A WM_QUIT met meanwhile is
    // posted again once done() holds.
    void PumpUntil(const std::function<bool()>& done) override;
    void WakeUi() override;

    // IOfferAsker: a Yes/No/Cancel message box whose buttons are renamed as
    // it opens, so the dialog template stays as it is.
    OfferAnswer AskOffer(const OfferQuestion& question, const std::u16string& caption) override;

private:
    HWND Control(int id) const;
    void DispatchPending(std::optional<int>& quitCode);

    HICON m_Icon;
    HANDLE m_Wake;  // auto-reset: set by WakeUi, so no wake is lost
    std::atomic<HWND> m_Window{nullptr};
};
