#pragma once
// What the dialog logic needs of a window system. Implementations: the Win32
// dialog on template 102, the Qt dialog, and the headless view of the tests.
//
// Threads: every method but PumpUntil may be called from the UI thread or from
// the update worker. A call from the worker is carried out on the UI thread and
// returns when it is done (as SendMessage does), so its effect is visible on
// return.
#include <cstdint>
#include <functional>
#include <string>

#include "engine/update_ui.h"
#include "hid/hid_backend.h"

// Control ids of dialog template 102.
inline constexpr int kIdProgressBar = 1003;
inline constexpr int kIdUpdateButton = 1007;
inline constexpr int kIdDoneLabel = -1;
inline constexpr int kIdHintLabel = 1008;

class IDialogView {
public:
    virtual ~IDialogView() = default;

    virtual void SetTitle(const std::u16string& title) = 0;
    virtual std::u16string Title() = 0;
    virtual void SetControlText(int id, const std::u16string& text) = 0;
    virtual void EnableControl(int id, bool enable) = 0;
    virtual void ShowControl(int id, bool show) = 0;
    // The progress bar's range (PBM_SETRANGE) and position (PBM_SETPOS).
    virtual void SetProgressRange(std::uint16_t low, std::uint16_t high) = 0;
    virtual void SetProgressPos(int position) = 0;
    // The application icon as the big, then the small window icon.
    virtual void SetIcons() = 0;
    // Modal message box owned by the dialog; returns kIdOk or kIdCancel.
    virtual int MessageBox(const std::u16string& text, const std::u16string& caption,
                           MessageButtons buttons) = 0;
    // Modal file-open dialog owned by the dialog. True with the full path
    // when the user pressed OK; false otherwise.
    virtual bool FileOpenDialog(const FileOpenRequest& request, std::u16string& path) = 0;
    // The process's current directory.
    virtual std::u16string CurrentDirectory() = 0;
    // What the HID backend registers for device-change notifications.
    virtual NotifyWindow NotifyTarget() = 0;

    // Any thread: the event reaches the dialog's OnDeviceChange on the UI
    // thread later, as a system notification would. Dropped once the dialog
    // has gone.
    virtual void PostDeviceChange(std::uint32_t event) = 0;

    // UI thread only: keeps serving the UI (so a worker's synchronous calls
    // complete) until done() holds. done() is checked at least after every
    // WakeUi(); no timer polling.
    virtual void PumpUntil(const std::function<bool()>& done) = 0;
    // Any thread: makes a running PumpUntil check its condition again.
    virtual void WakeUi() = 0;
};
