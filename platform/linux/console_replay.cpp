// The updater on Linux. With a supported controller attached (probed once at
// start) it updates that one over hidraw; otherwise, or with --simulate, a
// simulated controller on an in-process bus. controller-updater runs one
// update from the console; controller-updater-qt shows the dialog when a
// display is there and --console is not given.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/diagnostics.h"
#include "base/tee_sink.h"
#include "base/timestamped_log.h"
#include "text/text_table.h"
#include "text/wformat.h"
#include "platform/linux/console_replay.h"
#include "platform/linux/console_run.h"
#include "platform/linux/controller_probe.h"
#include "platform/linux/hidraw_backend.h"
#include "platform/linux/last_run_log.h"
#include "platform/linux/locale_language.h"
#include "platform/linux/program_options.h"
#include "platform/linux/udev_hidraw_system.h"
#include "sim/demo_setup.h"
#include "sim/virtual_hid_bus.h"
#if defined(UPDATER_WITH_QT)
#include "cli/sim_station_fleet.h"
#include "offer/catalogue_offer.h"
#include "platform/gcrypt/gcrypt_verifier.h"
#include "platform/linux/curl_fetcher.h"
#include "platform/linux/state_file_store.h"
#include "cli/sysfs_identity.h"
#include "platform/linux/hidraw_monitor_thread.h"
#include "platform/qt/qt_front_end.h"
#include "platform/qt/station_window.h"
#endif

namespace {

#if defined(UPDATER_WITH_QT)
constexpr const char* kProgramName = "controller-updater-qt";
#else
constexpr const char* kProgramName = "controller-updater";
#endif

std::string ProgramDirectory(const char* argv0)
{
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string path = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string(argv0);
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

class StderrSink final : public IDiagnosticSink {
public:
    void Write(const std::u16string& line) override
    {
        std::fprintf(stderr, "%s", Utf16ToUtf8(line).c_str());
    }
};

// The backend the dialog runs on, and how its events and the demo start.
struct Session {
    Session() : hidraw(udev, SystemClock::Instance()), bus(SystemClock::Instance()) {}

    // Real controller unless told to simulate or none is attached.
    void Choose(const ProgramOptions& options)
    {
        std::u16string path;
        real = !options.simulate && FindAttachedController(hidraw, path);
        demoKind = options.simulate.value_or(DemoKind::Stream);
        if (real)
            std::printf("Controller found at %s.\n", Utf16ToUtf8(path).c_str());
        else
            std::printf("No controller attached: using a simulated %s controller.\n",
                        demoKind == DemoKind::Stream ? "stream" : "block");
    }
    IHidBackend& Backend() { return real ? static_cast<IHidBackend&>(hidraw) : bus; }
    void SetNotifier(DeviceEventCallback callback)
    {
        if (real)
            hidraw.SetNotifier(std::move(callback));
        else
            bus.SetNotifier(std::move(callback));
    }
    // Plugged after the dialog's initialization, as a user would plug it.
    void AfterInit()
    {
        if (!real)
            PlugDemoController(bus, demoKind);
    }

    UdevHidrawSystem udev;
    HidrawBackend hidraw;
    VirtualHidBus bus;
    bool real = false;
    DemoKind demoKind = DemoKind::Stream;
};

int RunConsole(Session& session, const ProgramOptions& options, const char* argv0)
{
    std::string package = options.package;
    if (package.empty() && session.real) {
        std::fputs("A real controller is attached: name its package with --package=FILE.dat.\n",
                   stderr);
        return 2;
    }
    if (package.empty())
        package = ProgramDirectory(argv0) + "/" + Utf16ToUtf8(DemoPackageName(session.demoKind));
    ConsoleRunSetup setup;
    setup.packagePath = Utf8ToUtf16(package);
    setup.autoConfirm = options.autoConfirm;
    setup.setNotifier = [&](DeviceEventCallback callback) { session.SetNotifier(std::move(callback)); };
    setup.afterInit = [&] { session.AfterInit(); };
    return RunConsoleUpdate(session.Backend(), SystemClock::Instance(), setup);
}

#if defined(UPDATER_WITH_QT)
// The catalogue's backends, as the command line has them.
struct CatalogueBackends {
    CatalogueBackends()
        : memory(StateFileStore::DefaultPath([](const char* name) { return std::getenv(name); })),
          services{&fetcher, &crypto, &memory}
    {
    }
    CurlFetcher fetcher;
    const GcryptVerifier crypto;
    StateFileStore memory;
    CatalogueServices services;
};

int RunDialog(Session& session, const ProgramOptions& options, int& argc, char** argv)
{
    auto application = CreateApplication(argc, argv);
    QtRunOptions run;
    const std::string catalogue = ConfiguredCatalogue(options.catalogue);
    std::optional<CatalogueBackends> backends;
    if (!catalogue.empty()) {
        backends.emplace();
        run.makeOffer = [&](IOfferAsker& asker) {
            return std::make_unique<CatalogueOffer>(backends->services, CatalogueSetup{catalogue, options.trust},
                                                    asker);
        };
    }
    run.setNotifier = [&](DeviceEventPoster poster) { session.SetNotifier(std::move(poster)); };
    run.afterInit = [&] { session.AfterInit(); };
    RunQtDialog(session.Backend(), SystemClock::Instance(), run);
    return 0;
}

// The station window's catalogue options, as the console station's.
CliOptions StationCatalogueOptions(const ProgramOptions& options)
{
    CliOptions station;
    station.catalogue = options.catalogue;
    station.trust = options.trust;
    station.mirrors = options.mirrors;
    station.packageVersion = options.packageVersion;
    station.beta = options.beta;
    station.offline = options.offline;
    station.allowBelowFloor = options.allowBelowFloor;
    station.catalogueRefreshS = options.catalogueRefreshS;
    return station;
}

// The station window: over hidraw and the udev monitor, or with --simulate
// over a few simulated controllers plugged in one after another.
int RunStationWindow(Session& session, const ProgramOptions& options, bool chinese, int& argc, char** argv)
{
    constexpr std::uint64_t kDemoPlugIntervalMs = 700;
    auto application = CreateApplication(argc, argv);
    SimStationFleet fleet(SystemClock::Instance());
    CatalogueBackends backends;
    StationWindowSetup setup;
    setup.clock = &SystemClock::Instance();
    setup.chinese = chinese;
    setup.services = &backends.services;
    setup.catalogue = StationCatalogueOptions(options);
    setup.verify = options.verify;
    setup.package = Utf8ToUtf16(options.package.empty()
                                    ? ProgramDirectory(argv[0]) + "/" + Utf16ToUtf8(DemoPackageName(DemoKind::Block))
                                    : options.package);
    if (options.simulate) {
        setup.backend = &fleet.Backend();
        setup.describe = fleet.Describer();
        setup.watch = [&](std::function<void()> onChange) {
            fleet.OnChange(std::move(onChange));
            return std::shared_ptr<void>(nullptr, [&](void*) { fleet.OnChange(nullptr); });
        };
        setup.unitEnded = [&](const UnitRecord& r) {
            if (r.outcome == UnitOutcome::Updated)
                fleet.ReEnumerate(r.unit.identity.port);
        };
        const std::vector<SimulatedController> demo = {
            {DemoKind::Stream, ""}, {DemoKind::Block, ""}, {DemoKind::Stream, "current"},
            {DemoKind::Block, ""},  {DemoKind::Stream, "old"}, {DemoKind::Block, "current"}};
        std::uint64_t at = SystemClock::Instance().NowMs();
        int port = 0;
        for (const SimulatedController& controller : demo) {
            const std::string name = "1-" + std::to_string(++port);
            fleet.At(at += kDemoPlugIntervalMs, [&fleet, name, controller] { fleet.Plug(name, controller); });
        }
    } else {
        setup.backend = &session.hidraw;
        setup.describe = SysfsUnitIdentity;
        setup.watch = [&](std::function<void()> onChange) -> std::shared_ptr<void> {
            auto monitor = session.udev.OpenMonitor();
            if (!monitor)
                return nullptr;
            return HidrawMonitorThread::Start(std::move(monitor), [onChange](std::uint32_t) { onChange(); });
        };
    }
    StationWindow window(setup);
    window.show();
    window.Start();
    return application->exec();
}
#endif

}  // namespace

int RunConsoleReplay(int argc, char** argv)
{
    ProgramOptions options;
    if (!ParseProgramOptions(std::vector<std::string>(argv + 1, argv + argc), options)) {
        std::fputs(ProgramUsage(kProgramName).c_str(), stdout);
        return 2;
    }
    if (options.help) {
        std::fputs(ProgramUsage(kProgramName).c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("%s %s\n", kProgramName, UPDATER_VERSION);
        return 0;
    }
    LocaleUiLanguage language;
    SetUiLanguage(&language);
    StderrSink sink;
    // Kept for a bug report after the fact; without it the run goes on.
    TimestampedLog lastRun;
    const std::string lastRunPath = PrepareLastRunLogPath([](const char* name) { return std::getenv(name); });
    const bool logging = !lastRunPath.empty() && lastRun.Open(lastRunPath);
    TeeSink tee(options.verbose ? &sink : nullptr, logging ? &lastRun : nullptr);
    SetDiagnosticSink(&tee);

    int result = 0;
    {
        Session session;
#if defined(UPDATER_WITH_QT)
        const bool display = !options.console &&
                             DisplayAvailable([](const char* name) { return std::getenv(name); });
        if (options.station && display) {
            result = RunStationWindow(session, options, language.UserDefaultUILanguage() == kLangZhCn, argc, argv);
        } else {
            session.Choose(options);
            result = display ? RunDialog(session, options, argc, argv) : RunConsole(session, options, argv[0]);
        }
#else
        session.Choose(options);
        result = RunConsole(session, options, argv[0]);
#endif
    }
    SetDiagnosticSink(nullptr);
    SetUiLanguage(nullptr);
    return result;
}
