#include "platform/win32/dialog_host.h"

#include <dbt.h>

extern "C" {
#include <hidsdi.h>  // declared without C linkage in some SDKs
}

#include "res/resource.h"

static_assert(IDC_PROGRESS_BAR == kIdProgressBar && IDC_UPDATE_BUTTON == kIdUpdateButton &&
                  IDC_HINT_LABEL == kIdHintLabel && IDC_DONE_LABEL == kIdDoneLabel,
              "the dialog template and the dialog logic use the same control ids");

namespace {

constexpr UINT_PTR kAfterShownTimer = 1;

struct DialogHost {
    CUpdateDlg& dlg;
    Win32DialogView& view;
    HICON icon;
    const DialogHostOptions& options;
    bool closing = false;  // a close request is being answered or has ended the dialog
};

DialogHost* HostOf(HWND window) { return reinterpret_cast<DialogHost*>(GetWindowLongPtrW(window, DWLP_USER)); }

INT_PTR MessageResult(HWND window, LRESULT result)
{
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

// The icon centred in the client area of the minimized window.
void PaintMinimized(HWND window, HICON icon)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(window, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon);
    EndPaint(window, &paint);
}

// Esc, Enter without a default button, and the close box. While the answer
// is pending (and while a stopped worker is joined) the UI keeps running, so
// a second request or a click must not start anything.
void RequestClose(HWND window, DialogHost& host)
{
    if (host.closing)
        return;
    host.closing = true;
    if (host.dlg.OnCloseRequested()) {
        EndDialog(window, IDCANCEL);
        return;
    }
    host.closing = false;
}

// Sends itself the WM_DEVICECHANGE that the system sends for a HID interface.
void DeliverQueuedDeviceChange(HWND window, WPARAM event)
{
    DEV_BROADCAST_DEVICEINTERFACE_W record{};
    record.dbcc_size = sizeof record;
    record.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    HidD_GetHidGuid(&record.dbcc_classguid);
    const bool carriesRecord = (event & 0x8000) != 0;
    SendMessageW(window, WM_DEVICECHANGE, event, carriesRecord ? reinterpret_cast<LPARAM>(&record) : 0);
}

INT_PTR OnCommand(HWND window, DialogHost& host, WPARAM wParam)
{
    const int id = LOWORD(wParam);
    if (id == kIdUpdateButton && HIWORD(wParam) == BN_CLICKED) {
        if (!host.closing)
            host.dlg.OnUpdateClicked();
        return TRUE;
    }
    if (id == IDCANCEL || id == IDOK) {
        RequestClose(window, host);
        return TRUE;
    }
    return FALSE;
}

INT_PTR OnInitDialog(HWND window, DialogHost& host)
{
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(&host));
    host.view.Attach(window);
    const BOOL result = host.dlg.OnInitDialog() ? TRUE : FALSE;
    if (host.options.afterShown)
        SetTimer(window, kAfterShownTimer, host.options.afterShownDelayMs, nullptr);
    return result;
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return OnInitDialog(window, *reinterpret_cast<DialogHost*>(lParam));
    DialogHost* host = HostOf(window);
    if (!host)
        return FALSE;
    switch (message) {
    case WM_PAINT:
        if (!IsIconic(window))
            return FALSE;
        PaintMinimized(window, host->icon);
        return TRUE;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(host->icon);
    case WM_DEVICECHANGE:
        host->dlg.OnDeviceChange(static_cast<std::uint32_t>(wParam), static_cast<std::uintptr_t>(lParam));
        return MessageResult(window, TRUE);
    case kQueuedDeviceChange:
        DeliverQueuedDeviceChange(window, wParam);
        return TRUE;
    case WM_COMMAND:
        return OnCommand(window, *host, wParam);
    case WM_TIMER:
        if (wParam != kAfterShownTimer)
            return FALSE;
        KillTimer(window, kAfterShownTimer);
        host->options.afterShown();
        return TRUE;
    case WM_NCDESTROY:
        host->view.Detach();
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR RunUpdateDialog(HINSTANCE instance, CUpdateDlg& dlg, Win32DialogView& view, HICON icon,
                        const DialogHostOptions& options)
{
    DialogHost host{dlg, view, icon, options};
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_UPDATE_DIALOG), nullptr, &DialogProc,
                           reinterpret_cast<LPARAM>(&host));
}
