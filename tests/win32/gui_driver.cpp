// Drives the real program through one whole update, the way a user would:
// it starts controller-updater.exe --simulate=<family>, waits for the dialog,
// checks the state before and after the simulated controller arrives,
// presses the button, answers the file dialog with the demo package and the
// message boxes, and checks the outcome. Screenshots of the dialog are
// written as .bmp files into the artifact folder.
//
// usage: gui_driver stream|block|none <artifact folder> [close-during-confirmation]
//        gui_driver stream <artifact folder> offer-install|offer-refused <catalogue URL> <key file>
// "none" starts the program as shipped, with no option, on the system's HID
// interfaces (no supported controller on a test machine) and closes it with
// Esc. close-during-confirmation closes the dialog while the confirmation
// box is up, and expects the program to ask first (text 2). offer-install
// starts it with the catalogue and installs the offered package (English
// texts); offer-refused expects the catalogue's signature to be refused in
// words and then the file dialog.
// Exit code 0 when every check passed.
#include "platform/win32/windows_api.h"
// after <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "text/text_table.h"
#include "text/wformat.h"
#include "platform/win32/win32_texts.h"
#include "res/resource.h"

namespace {

constexpr DWORD kStepTimeoutMs = 20000;
constexpr int kFileNameCombo = 0x47C;  // cmb13 of the common file dialog
constexpr int kFileNameEdit = 0x480;   // edt1
constexpr int kFileTypeCombo = 0x470;  // cmb1

std::wstring W(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }
std::wstring Text(int index) { return W(LoadText(index)); }

std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                        nullptr);
    return out;
}

// Text of a window of another process: WM_GETTEXT is marshalled for us.
std::wstring WindowText(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return {};
    std::vector<wchar_t> text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    return std::wstring(text.data(), copied);
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

class Failure {
public:
    explicit Failure(std::string what) : m_What(std::move(what)) {}
    const std::string& What() const { return m_What; }

private:
    std::string m_What;
};

void Check(bool condition, const std::string& what)
{
    if (!condition)
        throw Failure(what);
}

// Writes the screen rectangle as a 32-bit top-down .bmp file.
bool Capture(const RECT& rect, const std::wstring& path)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;
    GdiFlush();
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT);
    const DWORD imageBytes = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 4;
    // The screen has no alpha; viewers would take the zero bytes as transparent.
    auto* pixels = static_cast<std::uint8_t*>(bits);
    for (DWORD i = 3; i < imageBytes; i += 4)
        pixels[i] = 0xFF;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageBytes;
    bool written = false;
    if (FILE* out = _wfopen(path.c_str(), L"wb")) {
        written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                  std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                  std::fwrite(bits, imageBytes, 1, out) == 1;
        written = std::fclose(out) == 0 && written;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return written;
}

RECT Union(const std::vector<HWND>& windows)
{
    RECT all{0, 0, 0, 0};
    for (HWND window : windows) {
        RECT rect;
        if (GetWindowRect(window, &rect))
            UnionRect(&all, &all, &rect);
    }
    return all;
}

// One run of the program under test.
class Session {
public:
    Session(std::wstring artifacts, std::wstring prefix)
        : m_Artifacts(std::move(artifacts)), m_Prefix(std::move(prefix))
    {
    }
    ~Session()
    {
        if (m_Process.hProcess) {
            if (WaitForSingleObject(m_Process.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(m_Process.hProcess, 99);
            CloseHandle(m_Process.hProcess);
            CloseHandle(m_Process.hThread);
        }
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void Start(const std::wstring& program, const std::wstring& arguments)
    {
        std::wstring commandLine = L"\"" + program + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        Check(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &m_Process) != 0,
              "the program could not be started");
    }

    // Top-level windows of the program, all dialogs (#32770).
    std::vector<HWND> Dialogs() const
    {
        struct Search {
            DWORD process;
            std::vector<HWND> found;
        } search{m_Process.dwProcessId, {}};
        EnumWindows(
            [](HWND window, LPARAM context) -> BOOL {
                auto* s = reinterpret_cast<Search*>(context);
                DWORD process = 0;
                GetWindowThreadProcessId(window, &process);
                if (process == s->process && IsWindowVisible(window) && ClassOf(window) == L"#32770")
                    s->found.push_back(window);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    // Polls until find() gives a window; fails the run after the time-out.
    HWND WaitFor(const std::function<HWND()>& find, const std::string& what, DWORD pollMs = 20)
    {
        const DWORD start = GetTickCount();
        for (;;) {
            if (HWND window = find())
                return window;
            Check(WaitForSingleObject(m_Process.hProcess, 0) == WAIT_TIMEOUT,
                  "the program ended while waiting for " + what);
            Check(GetTickCount() - start < kStepTimeoutMs, "timed out waiting for " + what);
            Sleep(pollMs);
        }
    }

    void WaitUntil(const std::function<bool()>& condition, const std::string& what)
    {
        WaitFor([&]() -> HWND { return condition() ? HWND(1) : nullptr; }, what);
    }

    void Shot(const std::vector<HWND>& windows, const std::wstring& name)
    {
        Sleep(250);  // let the last changes be painted
        const std::wstring path = m_Artifacts + L"\\" + m_Prefix + L"-" + name + L".bmp";
        Check(Capture(Union(windows), path), "could not write " + Narrow(path));
    }

    DWORD WaitForExit()
    {
        Check(WaitForSingleObject(m_Process.hProcess, kStepTimeoutMs) == WAIT_OBJECT_0,
              "the program did not end after its dialog was closed");
        DWORD code = 1;
        GetExitCodeProcess(m_Process.hProcess, &code);
        return code;
    }

    void ShotScreen(const std::wstring& name)
    {
        RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        Capture(screen, m_Artifacts + L"\\" + m_Prefix + L"-" + name + L".bmp");
    }

private:
    std::wstring m_Artifacts;
    std::wstring m_Prefix;
    PROCESS_INFORMATION m_Process{};
};

HWND Child(HWND dialog, int id) { return GetDlgItem(dialog, id); }

// The success static has id -1, which templates store as 0xFFFF.
HWND DoneLabel(HWND dialog)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongPtrW(child, GWLP_ID) & 0xFFFF) == 0xFFFF && ClassOf(child) == L"Static")
            return child;
    }
    return nullptr;
}

// The longest static text of a message box: its message.
std::wstring MessageText(HWND box)
{
    std::wstring longest;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) != L"Static")
            continue;
        std::wstring text = WindowText(child);
        if (text.size() > longest.size())
            longest = text;
    }
    return longest;
}

void Press(HWND dialog, int id)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Child(dialog, id)));
}

bool StartsWith(const std::wstring& text, const std::wstring& start)
{
    return text.compare(0, start.size(), start) == 0;
}

std::wstring ProgramDirectory()
{
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring directory = path;
    return directory.substr(0, directory.find_last_of(L"\\/"));
}

class UpdateRun {
public:
    UpdateRun(Session& session, HWND main) : m_Session(session), m_Main(main) {}

    HWND WaitForBox(const std::function<bool(const std::wstring&)>& accepts, const std::string& what,
                    DWORD pollMs = 20)
    {
        return m_Session.WaitFor(
            [&]() -> HWND {
                for (HWND window : m_Session.Dialogs()) {
                    if (window != m_Main && GetWindow(window, GW_OWNER) == m_Main &&
                        WindowText(window) == Text(6) && !Child(window, kFileNameCombo) &&
                        accepts(MessageText(window)))
                        return window;
                }
                return nullptr;
            },
            what, pollMs);
    }

    HWND WaitForFileDialog()
    {
        return m_Session.WaitFor(
            [&]() -> HWND {
                for (HWND window : m_Session.Dialogs()) {
                    if (window != m_Main && (Child(window, kFileNameCombo) || Child(window, kFileNameEdit)))
                        return window;
                }
                return nullptr;
            },
            "the file dialog");
    }

    void ChooseFile(HWND fileDialog, const std::wstring& path)
    {
        Check(GetWindow(fileDialog, GW_OWNER) == m_Main, "the file dialog is owned by the main dialog");
        const std::wstring filter = WindowText(Child(fileDialog, kFileTypeCombo));
        Check(filter == Text(3) + L"(*.dat)", "file type filter is text 3 + (*.dat), got " + Narrow(filter));
        HWND name = Child(fileDialog, kFileNameCombo) ? Child(fileDialog, kFileNameCombo)
                                                       : Child(fileDialog, kFileNameEdit);
        SendMessageTimeoutW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_ABORTIFHUNG,
                            5000, nullptr);
        Press(fileDialog, IDOK);
    }

private:
    Session& m_Session;
    HWND m_Main;
};

HWND WaitForMainDialog(Session& session)
{
    return session.WaitFor(
        [&]() -> HWND {
            for (HWND window : session.Dialogs()) {
                if (Child(window, IDC_UPDATE_BUTTON) && Child(window, IDC_PROGRESS_BAR))
                    return window;
            }
            return nullptr;
        },
        "the main dialog");
}

// The dialog as it starts with no controller attached.
void CheckWithoutController(Session& session, HWND main)
{
    HWND button = Child(main, IDC_UPDATE_BUTTON);
    Check(WindowText(main) == Text(6), "title is text 6 without a controller");
    Check(!IsWindowEnabled(button), "button is disabled without a controller");
    Check(WindowText(button) == Text(12), "button shows text 12");
    Check(WindowText(Child(main, IDC_HINT_LABEL)) == Text(14), "hint shows text 14");
    Check(!IsWindowVisible(DoneLabel(main)), "success static hidden at start");
    Check(SendMessageW(Child(main, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0) == 0, "progress at 0");
    session.Shot({main}, L"1-no-controller");
}

// Before the simulated controller arrives and right after it has.
void CheckStartAndArrival(Session& session, HWND main)
{
    HWND button = Child(main, IDC_UPDATE_BUTTON);
    CheckWithoutController(session, main);

    const std::wstring versioned = Text(6) + L"(ZudoVor V";
    session.WaitUntil([&] { return StartsWith(WindowText(main), versioned); },
                      "the title to show the simulated controller's version");
    Check(IsWindowEnabled(button), "button is enabled once the controller arrived");
    session.Shot({main}, L"2-controller-attached");
    std::printf("title after arrival: %s\n", Narrow(WindowText(main)).c_str());
}

void RunWholeUpdate(Session& session, HWND main, const std::wstring& package)
{
    UpdateRun run(session, main);
    Press(main, IDC_UPDATE_BUTTON);
    run.ChooseFile(run.WaitForFileDialog(), package);

    HWND confirm = run.WaitForBox([](const std::wstring& text) { return StartsWith(text, Text(18)); },
                                  "the confirmation box (text 18)");
    std::printf("confirmation: %s\n", Narrow(MessageText(confirm)).c_str());
    Press(confirm, IDOK);

    const std::wstring success = L"\n " + Text(4) + L" \n";
    HWND done = run.WaitForBox([&](const std::wstring& text) { return text == success; },
                               "the success message (text 4)");
    session.Shot({main, done}, L"3-success-message");
    Press(done, IDOK);

    HWND label = DoneLabel(main);
    session.WaitUntil([&] { return IsWindowVisible(label) != 0; }, "the success static to show");
    Check(WindowText(label) == Text(4), "success static shows text 4");
    session.WaitUntil([&] { return IsWindowEnabled(Child(main, IDC_UPDATE_BUTTON)) != 0; },
                      "the button to be enabled again");
    session.Shot({main}, L"4-after-update");
}

// The dialog is closed while the worker waits in the confirmation box: the
// program asks with text 2. Cancel lets the update go on; OK stops it and
// ends the program once the worker has gone.
void RunCloseDuringConfirmation(Session& session, HWND main, const std::wstring& package)
{
    UpdateRun run(session, main);
    Press(main, IDC_UPDATE_BUTTON);
    run.ChooseFile(run.WaitForFileDialog(), package);
    HWND confirm = run.WaitForBox([](const std::wstring& text) { return StartsWith(text, Text(18)); },
                                  "the confirmation box (text 18)");
    auto askToClose = [&] {
        PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        HWND ask = run.WaitForBox([](const std::wstring& text) { return text == Text(2); },
                                  "the question whether to stop (text 2)");
        Check(Child(ask, IDOK) && Child(ask, IDCANCEL), "the question offers OK and Cancel");
        return ask;
    };

    HWND ask = askToClose();
    Press(ask, IDCANCEL);
    session.WaitUntil([&] { return !IsWindow(ask); }, "the question to go away");
    Sleep(300);
    Check(IsWindowVisible(main) && IsWindowVisible(confirm), "Cancel keeps the dialog and the update");

    ask = askToClose();
    session.Shot({main, confirm, ask}, L"3-close-requested");
    Press(ask, IDOK);
    Sleep(300);
    Check(IsWindow(main) != 0, "the dialog waits for the worker before it ends");
    Press(confirm, IDOK);
}

void ConfirmAndSucceed(Session& session, HWND main, UpdateRun& run, const std::wstring& version)
{
    HWND confirm = run.WaitForBox([](const std::wstring& text) { return StartsWith(text, Text(18)); },
                                  "the confirmation box (text 18)");
    const std::wstring confirmation = MessageText(confirm);
    Check(confirmation.find(version) != std::wstring::npos, "the confirmation names " + Narrow(version));
    Press(confirm, IDOK);
    const std::wstring success = L"\n " + Text(4) + L" \n";
    HWND done = run.WaitForBox([&](const std::wstring& text) { return text == success; },
                               "the success message (text 4)");
    Press(done, IDOK);
    session.WaitUntil([&] { return IsWindowVisible(DoneLabel(main)) != 0; }, "the success static to show");
    session.WaitUntil([&] { return IsWindowEnabled(Child(main, IDC_UPDATE_BUTTON)) != 0; },
                      "the button to be enabled again (the update has ended)");
}

// The catalogue's offer at the click: its words and buttons, then Install
// and the dialog's own confirmation and outcome.
void RunOfferInstall(Session& session, HWND main)
{
    UpdateRun run(session, main);
    Sleep(1500);  // the catalogue is read meanwhile, so the figure below is the warm one
    LARGE_INTEGER frequency, pressed, seen;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&pressed);
    Press(main, IDC_UPDATE_BUTTON);
    const std::wstring question = L"Firmware 1.40 r3 is available (this controller runs 1.37). Install it?";
    HWND offer = run.WaitForBox([&](const std::wstring& text) { return StartsWith(text, question); },
                                "the offer", 1);
    QueryPerformanceCounter(&seen);
    // A figure, not a verdict.
    std::printf("[ figure ] click to offer, warm catalogue, seen from another process: %.1f ms\n",
                1000.0 * static_cast<double>(seen.QuadPart - pressed.QuadPart) /
                    static_cast<double>(frequency.QuadPart));
    Check(WindowText(Child(offer, IDYES)) == L"Install" && WindowText(Child(offer, IDNO)) == L"Choose a file" &&
              WindowText(Child(offer, IDCANCEL)) == L"Cancel",
          "the offer's buttons are Install, Choose a file, Cancel");
    session.Shot({main, offer}, L"3-offer");
    Press(offer, IDYES);
    ConfirmAndSucceed(session, main, run, L"1.40 r3");
    session.Shot({main}, L"4-after-install");
}

// A catalogue signed by a key the program does not trust: said in words,
// then today's file dialog.
void RunOfferRefused(Session& session, HWND main, const std::wstring& package)
{
    UpdateRun run(session, main);
    Press(main, IDC_UPDATE_BUTTON);
    HWND refusal = run.WaitForBox(
        [](const std::wstring& text) { return StartsWith(text, L"The catalogue's signature is not trusted"); },
        "the refusal in words");
    session.Shot({main, refusal}, L"3-refusal");
    Press(refusal, IDOK);
    run.ChooseFile(run.WaitForFileDialog(), package);
    ConfirmAndSucceed(session, main, run, L"1.40");
    // As after a whole update: the worker ends just after the button is
    // enabled again, within the shot's pause.
    session.Shot({main}, L"4-after-update");
}

int Run(const std::wstring& family, const std::wstring& artifacts, const std::wstring& variant,
        const std::wstring& catalogueArguments)
{
    const bool closeDuringConfirmation = variant == L"close-during-confirmation";
    const std::wstring directory = ProgramDirectory();
    const std::wstring package = directory + L"\\demo_" + family + L".dat";
    const std::wstring prefix = family + (variant.empty() ? L"" : closeDuringConfirmation ? L"-close" : L"-" + variant);
    Session session(artifacts, prefix);
    try {
        const bool simulated = family != L"none";
        session.Start(directory + L"\\controller-updater.exe",
                      (simulated ? L"--simulate=" + family : L"") + catalogueArguments);
        HWND main = WaitForMainDialog(session);
        if (variant == L"offer-install" || variant == L"offer-refused") {
            CheckStartAndArrival(session, main);
            if (variant == L"offer-install")
                RunOfferInstall(session, main);
            else
                RunOfferRefused(session, main, package);
            PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        } else if (!simulated) {
            CheckWithoutController(session, main);
            Sleep(1500);  // as long as a simulated controller takes to arrive
            Check(WindowText(main) == Text(6) && !IsWindowEnabled(Child(main, IDC_UPDATE_BUTTON)),
                  "nothing arrives on a machine without a supported controller");
            PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        } else if (closeDuringConfirmation) {
            CheckStartAndArrival(session, main);
            RunCloseDuringConfirmation(session, main, package);
        } else {
            CheckStartAndArrival(session, main);
            RunWholeUpdate(session, main, package);
            PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
        Check(session.WaitForExit() == 0, "the program ends with exit code 0");
    } catch (const Failure& failure) {
        session.ShotScreen(L"failure");
        std::printf("FAILED: %s\n", failure.What().c_str());
        return 1;
    }
    std::printf("passed\n");
    return 0;
}

// A Unix path from the test script names a folder on Wine's drive Z:.
std::wstring WindowsPath(std::wstring path)
{
    if (!path.empty() && path[0] == L'/')
        path = L"Z:" + path;
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    return path;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring family = argc > 1 ? argv[1] : L"";
    if (argc < 3 || (family != L"stream" && family != L"block" && family != L"none")) {
        std::printf("usage: gui_driver stream|block|none <artifact folder> [close-during-confirmation]\n");
        return 2;
    }
    SystemUiLanguage language;
    SetUiLanguage(&language);
    const std::wstring variant = argc > 3 ? argv[3] : L"";
    const std::wstring catalogue =
        argc > 5 ? L" --catalogue " + std::wstring(argv[4]) + L" --trust \"" + WindowsPath(argv[5]) + L"\"" : L"";
    const int result = Run(argv[1], WindowsPath(argv[2]), variant, catalogue);
    SetUiLanguage(nullptr);
    std::fflush(stdout);
    return result;
}
