#pragma once
// The modal main dialog on template 102 around CUpdateDlg: routes the
// window's messages to its handlers, paints the icon while minimized and
// applies the closing rule. UI thread only.
#include "platform/win32/windows_api.h"

#include <functional>

#include "app/update_dlg.h"
#include "platform/win32/win32_dialog_view.h"

struct DialogHostOptions {
    // Runs once on the UI thread, delayMs after the dialog's initialization
    // (the demo mode plugs its controller here). Empty: nothing.
    std::function<void()> afterShown;
    UINT afterShownDelayMs = 1000;
};

// Shows dlg's window modally (DialogBoxParamW) and returns when it has
// closed, with DialogBoxParamW's result (-1: the window could not be made).
INT_PTR RunUpdateDialog(HINSTANCE instance, CUpdateDlg& dlg, Win32DialogView& view, HICON icon,
                        const DialogHostOptions& options);
