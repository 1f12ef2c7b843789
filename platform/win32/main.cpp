// The Windows program: one modal dialog over the HID class driver, or over
// a simulated controller with --simulate=stream|block.
#include "platform/win32/windows_api.h"
#include <commctrl.h>

#include <optional>
#include <vector>

#include "base/clock.h"
#include "base/diagnostics.h"
#include "app/update_app.h"
#include "base/utf.h"
#include "base/tee_sink.h"
#include "base/timestamped_log.h"
#include "offer/catalogue_offer.h"
#include "platform/gcrypt/gcrypt_verifier.h"
#include "platform/win32/command_line.h"
#include "platform/win32/debug_output_sink.h"
#include "platform/win32/dialog_host.h"
#include "platform/win32/last_run_log.h"
#include "platform/win32/state_file_store.h"
#include "platform/win32/win32_dialog_view.h"
#include "platform/win32/win32_hid_backend.h"
#include "platform/win32/win32_texts.h"
#include "platform/win32/winhttp_fetcher.h"
#include "res/resource.h"
#include "sim/demo_setup.h"

namespace {

// The catalogue's backends, as the console program has them.
struct CatalogueBackends {
    WinHttpFetcher fetcher;
    const GcryptVerifier crypto;
    StateFileStore memory{StateFileStore::DefaultPath()};
    CatalogueServices services{&fetcher, &crypto, &memory};
};

void RunApplication(HINSTANCE instance, IHidBackend& backend, const DialogHostOptions& options,
                    const CatalogueOptions& catalogue)
{
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP_ICON));
    Win32DialogView view(icon);
    // With no catalogue, none of it is made: the dialog is as it always was.
    const std::string location = ConfiguredCatalogue(catalogue.catalogue);
    std::optional<CatalogueBackends> backends;
    std::optional<CatalogueOffer> offer;
    if (!location.empty()) {
        backends.emplace();
        offer.emplace(backends->services, CatalogueSetup{location, catalogue.trust}, view);
    }
    CUpdateApp app(
        backend, view, SystemClock::Instance(),
        [&](CUpdateDlg& dlg) { RunUpdateDialog(instance, dlg, view, icon, options); },
        offer ? &*offer : nullptr);
    app.InitInstance();
}

// The file dialog opens in the current directory: make that the program's
// own, where the demo packages are.
void EnterProgramDirectory()
{
    std::vector<wchar_t> path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        return;
    std::wstring directory(path.data(), length);
    const std::size_t slash = directory.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        SetCurrentDirectoryW(directory.substr(0, slash).c_str());
}

void RunDemo(HINSTANCE instance, DemoKind kind, const CatalogueOptions& catalogue)
{
    EnterProgramDirectory();
    VirtualHidBus bus(SystemClock::Instance());
    // Plug and unplug events are queued for the UI thread, where the dialog
    // receives them as the system's WM_DEVICECHANGE.
    bus.SetNotifier([](NotifyWindow window, std::uint32_t event) {
        PostMessageW(reinterpret_cast<HWND>(window), kQueuedDeviceChange, event, 0);
    });
    DialogHostOptions options;
    // Shortly after the dialog is up, as if plugged in by hand.
    options.afterShown = [&bus, kind] { PlugDemoController(bus, kind); };
    RunApplication(instance, bus, options, catalogue);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    ModuleStringTable strings(instance);
    SystemUiLanguage language;
    DebugOutputSink sink;
    // Kept for a bug report after the fact; without it the run goes on.
    TimestampedLog lastRun;
    const std::u16string lastRunPath = PrepareLastRunLogPath();
    const bool logging = !lastRunPath.empty() && lastRun.Open(Utf16ToUtf8(lastRunPath));
    TeeSink tee(&sink, logging ? &lastRun : nullptr);
    SetStringTable(&strings);
    SetUiLanguage(&language);
    SetDiagnosticSink(&tee);

    const CatalogueOptions catalogue = CatalogueOptionsOf(commandLine);
    if (const std::optional<DemoKind> kind = SimulateOption(commandLine)) {
        RunDemo(instance, *kind, catalogue);
    } else {
        Win32HidBackend backend;
        RunApplication(instance, backend, {}, catalogue);
    }

    SetDiagnosticSink(nullptr);
    SetUiLanguage(nullptr);
    SetStringTable(nullptr);
    return 0;
}
