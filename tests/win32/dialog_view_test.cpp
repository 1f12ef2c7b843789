// The Win32 view and dialog host on the real template 102: calls from a
// worker thread while the UI thread waits in PumpUntil, and the host's
// handling of icons and closing.
#include <gtest/gtest.h>

#include "platform/win32/windows_api.h"
// after <windows.h>
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/update_dlg.h"
#include "platform/win32/dialog_host.h"
#include "platform/win32/win32_dialog_view.h"
#include "platform/win32/win32_text.h"
#include "res/resource.h"
#include "sim/fake_clock.h"
#include "sim/virtual_hid_bus.h"
#include "protocols/standard_protocols.h"

namespace {

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// A modeless window on template 102 for the view to work on.
class TemplateWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_UPDATE_DIALOG), nullptr,
                                    &PlainDialogProc, 0);
        ASSERT_NE(window, nullptr);
        view.Attach(window);
    }
    void TearDown() override
    {
        view.Detach();
        DestroyWindow(window);
    }

    std::u16string TextOf(HWND control)
    {
        wchar_t text[512] = {};
        GetWindowTextW(control, text, 512);
        return FromWide(text);
    }

    HWND window = nullptr;
    Win32DialogView view{LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP_ICON))};
};

}  // namespace

// Each call from the worker has taken effect when it returns, and the UI
// thread serves them from PumpUntil.
TEST_F(TemplateWindow, WorkerCallsAreDoneOnReturnWhileTheUiPumps)
{
    std::atomic<bool> finished{false};
    std::vector<std::string> failures;
    auto expect = [&failures](bool ok, const char* what) {
        if (!ok)
            failures.push_back(what);
    };
    std::thread worker([&] {
        view.SetTitle(u"from the worker");
        expect(view.Title() == u"from the worker", "title");
        view.SetProgressRange(0, 100);
        view.SetProgressPos(42);
        expect(SendMessageW(GetDlgItem(window, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0) == 42, "progress");
        view.EnableControl(IDC_UPDATE_BUTTON, false);
        expect(!IsWindowEnabled(GetDlgItem(window, IDC_UPDATE_BUTTON)), "button disabled");
        view.ShowControl(IDC_DONE_LABEL, false);
        expect(!IsWindowVisible(GetDlgItem(window, IDC_DONE_LABEL)), "success static hidden");
        view.SetControlText(IDC_HINT_LABEL, u"\x9759\x6001 hint");
        expect(TextOf(GetDlgItem(window, IDC_HINT_LABEL)) == u"\x9759\x6001 hint", "hint text");
        finished = true;
        view.WakeUi();
    });
    view.PumpUntil([&] { return finished.load(); });
    worker.join();
    EXPECT_TRUE(failures.empty()) << failures.front();
}

TEST_F(TemplateWindow, PumpUntilEndsOnAWakeAlone)
{
    std::atomic<bool> done{false};
    const auto start = std::chrono::steady_clock::now();
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        done = true;
        view.WakeUi();
    });
    view.PumpUntil([&] { return done.load(); });
    other.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(TemplateWindow, PumpUntilKeepsAQuitRequestForTheLoopOutside)
{
    PostQuitMessage(3);
    std::atomic<bool> done{false};
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        done = true;
        view.WakeUi();
    });
    view.PumpUntil([&] { return done.load(); });
    other.join();
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 3u);
}

// The whole host: initialization on the template, the drag icon, and Esc
// ending the dialog while no update runs.
TEST(DialogHost, RunsTheDialogUntilEsc)
{
    FakeClock clock;
    VirtualHidBus bus(clock);
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP_ICON));
    Win32DialogView view(icon);
    CUpdateDlg dlg(bus, view, clock, StandardProtocolDrivers());
    std::atomic<LRESULT> dragIcon{0};
    std::atomic<bool> buttonEnabled{true};
    DialogHostOptions options;
    options.afterShownDelayMs = 10;
    options.afterShown = [&] {
        HWND window = view.Window();
        dragIcon = SendMessageW(window, WM_QUERYDRAGICON, 0, 0);
        buttonEnabled = IsWindowEnabled(GetDlgItem(window, IDC_UPDATE_BUTTON)) != 0;
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    };
    EXPECT_EQ(RunUpdateDialog(GetModuleHandleW(nullptr), dlg, view, icon, options), IDCANCEL);
    EXPECT_EQ(dragIcon.load(), reinterpret_cast<LRESULT>(icon));
    EXPECT_FALSE(buttonEnabled.load()) << "no controller on the bus";
    EXPECT_EQ(bus.RegistrationCount(), 1);
    EXPECT_EQ(view.Window(), nullptr) << "the view lets go of the destroyed window";
}
