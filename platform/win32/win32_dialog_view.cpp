#include "platform/win32/win32_dialog_view.h"

#include <commctrl.h>
#include <commdlg.h>
#include <objbase.h>

#include <optional>
#include <vector>

#include "platform/win32/file_filter.h"
#include "platform/win32/win32_text.h"

namespace {

// Room for long paths in the file dialog's answer.
constexpr std::size_t kFileBufferChars = 32768;

// The common file dialog hosts shell components: the calling thread needs
// a single-threaded COM apartment for the dialog's lifetime.
class ComApartment {
public:
    ComApartment() : m_Initialized(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment()
    {
        if (m_Initialized)
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool m_Initialized;
};

const wchar_t* OrNull(const std::u16string& text) { return text.empty() ? nullptr : WidePtr(text); }

}  // namespace

Win32DialogView::Win32DialogView(HICON icon)
    : m_Icon(icon), m_Wake(CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
}

Win32DialogView::~Win32DialogView()
{
    if (m_Wake)
        CloseHandle(m_Wake);
}

HWND Win32DialogView::Control(int id) const { return GetDlgItem(m_Window, id); }

void Win32DialogView::SetTitle(const std::u16string& title) { SetWindowTextW(m_Window, WidePtr(title)); }

std::u16string Win32DialogView::Title()
{
    const int length = GetWindowTextLengthW(m_Window);
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(m_Window, text.data(), length + 1);
    return FromWide(text.data(), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

void Win32DialogView::SetControlText(int id, const std::u16string& text)
{
    SetWindowTextW(Control(id), WidePtr(text));
}

void Win32DialogView::EnableControl(int id, bool enable) { EnableWindow(Control(id), enable ? TRUE : FALSE); }

void Win32DialogView::ShowControl(int id, bool show) { ShowWindow(Control(id), show ? SW_SHOW : SW_HIDE); }

void Win32DialogView::SetProgressRange(std::uint16_t low, std::uint16_t high)
{
    SendMessageW(Control(kIdProgressBar), PBM_SETRANGE, 0, MAKELPARAM(low, high));
}

void Win32DialogView::SetProgressPos(int position)
{
    SendMessageW(Control(kIdProgressBar), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32DialogView::SetIcons()
{
    SendMessageW(m_Window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_Icon));
    SendMessageW(m_Window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_Icon));
}

int Win32DialogView::MessageBox(const std::u16string& text, const std::u16string& caption,
                                MessageButtons buttons)
{
    const UINT type = buttons == MessageButtons::OkCancel ? MB_OKCANCEL : MB_OK;
    return ::MessageBoxW(m_Window, WidePtr(text), WidePtr(caption), type) == IDOK ? kIdOk : kIdCancel;
}

namespace {

// The offer's button words for the box this thread is about to show.
thread_local const OfferQuestion* t_OfferButtons = nullptr;
thread_local HHOOK t_OfferHook = nullptr;

LRESULT CALLBACK RenameOfferButtons(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && t_OfferButtons != nullptr) {
        const HWND box = reinterpret_cast<HWND>(wParam);
        SetDlgItemTextW(box, IDYES, WidePtr(t_OfferButtons->install));
        SetDlgItemTextW(box, IDNO, WidePtr(t_OfferButtons->chooseFile));
        SetDlgItemTextW(box, IDCANCEL, WidePtr(t_OfferButtons->cancel));
        t_OfferButtons = nullptr;  // the box's first activation only
    }
    return CallNextHookEx(t_OfferHook, code, wParam, lParam);
}

}  // namespace

OfferAnswer Win32DialogView::AskOffer(const OfferQuestion& question, const std::u16string& caption)
{
    t_OfferButtons = &question;
    t_OfferHook = SetWindowsHookExW(WH_CBT, RenameOfferButtons, nullptr, GetCurrentThreadId());
    const int answer = ::MessageBoxW(m_Window, WidePtr(question.text), WidePtr(caption), MB_YESNOCANCEL);
    if (t_OfferHook)
        UnhookWindowsHookEx(t_OfferHook);
    t_OfferHook = nullptr;
    t_OfferButtons = nullptr;
    if (answer == IDYES)
        return OfferAnswer::Install;
    return answer == IDNO ? OfferAnswer::ChooseFile : OfferAnswer::Cancel;
}

bool Win32DialogView::FileOpenDialog(const FileOpenRequest& request, std::u16string& path)
{
    const std::u16string filter = ToCommonDialogFilter(request.filter);
    std::vector<wchar_t> file(kFileBufferChars, L'\0');
    request.initialFileName.copy(reinterpret_cast<char16_t*>(file.data()), kFileBufferChars - 1);

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_Window;
    dialog.lpstrFilter = WidePtr(filter);
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = OrNull(request.initialDirectory);
    dialog.lpstrDefExt = OrNull(request.defaultExtension);
    dialog.Flags = request.flags;

    ComApartment apartment;
    if (!GetOpenFileNameW(&dialog))
        return false;
    path = FromWide(file.data());
    return true;
}

std::u16string Win32DialogView::CurrentDirectory()
{
    const DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed == 0)
        return {};
    std::vector<wchar_t> directory(needed, L'\0');
    const DWORD length = GetCurrentDirectoryW(needed, directory.data());
    return length < needed ? FromWide(directory.data(), length) : std::u16string();
}

NotifyWindow Win32DialogView::NotifyTarget() { return reinterpret_cast<NotifyWindow>(HWND(m_Window)); }

void Win32DialogView::DispatchPending(std::optional<int>& quitCode)
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quitCode = static_cast<int>(message.wParam);
            continue;
        }
        HWND window = m_Window;
        if (window && IsDialogMessageW(window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Win32DialogView::PumpUntil(const std::function<bool()>& done)
{
    // A quit request is kept for the loop outside: returning before done()
    // would leave a worker's synchronous message unserved.
    std::optional<int> quitCode;
    while (!done()) {
        const DWORD result =
            MsgWaitForMultipleObjectsEx(1, &m_Wake, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (result == WAIT_FAILED)
            break;
        DispatchPending(quitCode);
    }
    if (quitCode)
        PostQuitMessage(*quitCode);
}

void Win32DialogView::WakeUi() { SetEvent(m_Wake); }

void Win32DialogView::PostDeviceChange(std::uint32_t event)
{
    if (HWND window = m_Window)
        PostMessageW(window, kQueuedDeviceChange, event, 0);
}
