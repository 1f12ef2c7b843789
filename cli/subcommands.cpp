#include "cli/subcommands.h"

#include <cstdio>
#include <iostream>
#include <memory>

#include "base/clock.h"
#include "base/diagnostics.h"
#include "base/timestamped_log.h"
#include "base/utf.h"
#include "cli/catalogue_commands.h"
#include "cli/catalogue_status.h"
#include "cli/cli_options.h"
#include "cli/event_output.h"
#include "cli/exit_codes.h"
#include "cli/inspect_command.h"
#include "cli/keys_commands.h"
#include "cli/interrupt_signal.h"
#include "cli/list_command.h"
#include "cli/package_precheck.h"
#include "cli/sim_fleet.h"
#include "cli/sim_station_fleet.h"
#include "cli/station_catalogue.h"
#include "cli/station_command.h"
#include "station/unit_record.h"
#include "cli/update_runner.h"

#if defined(_WIN32)
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

class StderrSink final : public IDiagnosticSink {
public:
    void Write(const std::u16string& line) override { std::fputs(Utf16ToUtf8(line).c_str(), stderr); }
};

StationRequest StationRequestOf(const CliOptions& options, const CatalogueServices& services,
                                StationCatalogue* catalogue)
{
    StationRequest request;
    request.package = options.package;
    request.catalogue = catalogue;
    request.packageSha256 = catalogue ? std::string() : PackageSha256(services, options.package);
    request.verify = options.verify;
    request.maxUnits = options.maxUnits;
    request.logFile = options.stationLog;
    request.statusLine = isatty(fileno(stderr)) != 0;
    return request;
}

// The station's run, with its catalogue loaded first when it has one.
int RunStation(const CliOptions& options, const CatalogueServices& services, EventOutput& out,
               const std::function<int(const StationRequest&)>& run)
{
    if (options.catalogue.empty())
        return run(StationRequestOf(options, services, nullptr));
    StationCatalogue catalogue(services, options, SystemClock::Instance(), out);
    int code = kExitDone;
    if (!catalogue.Load(code))
        return code;
    return run(StationRequestOf(options, services, &catalogue));
}

// The simulated controllers plugged in at the start, each re-enumerating
// after its update as a real one does.
int RunSimulatedStation(const CliOptions& options, const CatalogueServices& services, EventOutput& out)
{
    SimStationFleet fleet(SystemClock::Instance());
    DeviceChangeWatch watch = [&](std::function<void()> onChange) {
        fleet.OnChange(std::move(onChange));
        return std::shared_ptr<void>(nullptr, [&](void*) { fleet.OnChange(nullptr); });
    };
    int index = 0;
    for (const SimulatedController& controller : options.simulate) {
        const std::string number = std::to_string(++index);
        fleet.Plug("sim-" + number, controller, "SIM" + number);
    }
    return RunStation(options, services, out, [&](const StationRequest& request) {
        return RunStationCommand(fleet.Backend(), SystemClock::Instance(), fleet.Describer(), watch, request, out,
                                 [&](const UnitRecord& record) {
                                     if (record.outcome == UnitOutcome::Updated)
                                         fleet.ReEnumerate(record.unit.identity.port);
                                 });
    });
}

int RunCommand(const CliOptions& options, const CatalogueServices& catalogue, IHidBackend& backend,
               const IdentityLookup& lookup, EventOutput& out)
{
    IClock& clock = SystemClock::Instance();
    switch (options.command) {
    case CliCommand::List:
        return RunList(backend, clock, lookup, out);
    case CliCommand::Check:
        return RunCheck(catalogue, backend, clock, lookup, options, out);
    case CliCommand::Update: {
        if (!options.catalogue.empty())
            return RunCatalogueUpdate(catalogue, backend, clock, lookup, options, out);
        UpdateRequest request{options.package, options.yes, options.verify, std::nullopt};
        return RunUpdateCommand(backend, clock, lookup, request, options.device, options.all, out);
    }
    case CliCommand::Inspect:
    case CliCommand::CatalogueMake:
    case CliCommand::CatalogueSign:
    case CliCommand::CatalogueKeysInit:
    case CliCommand::CatalogueKeysRotate:
    case CliCommand::CatalogueStatus:
    case CliCommand::Station:
    case CliCommand::None:
        break;
    }
    return RunInspect(options.package, out);
}

// The commands that read no controller.
bool Offline(CliCommand command)
{
    return command == CliCommand::Inspect || command == CliCommand::CatalogueMake ||
           command == CliCommand::CatalogueSign || command == CliCommand::CatalogueKeysInit ||
           command == CliCommand::CatalogueKeysRotate || command == CliCommand::CatalogueStatus;
}

bool NeedsCatalogue(const CliOptions& options)
{
    return options.command == CliCommand::Check || options.command == CliCommand::CatalogueMake ||
           options.command == CliCommand::CatalogueSign ||
           ((options.command == CliCommand::Update || options.command == CliCommand::Station) &&
            !options.catalogue.empty());
}

int RunOffline(const CliOptions& options, const CatalogueServices& catalogue, EventOutput& out)
{
    if (options.command == CliCommand::CatalogueMake)
        return RunCatalogueMake(catalogue, options, out);
    if (options.command == CliCommand::CatalogueSign)
        return RunCatalogueSign(catalogue, options, out);
    if (options.command == CliCommand::CatalogueKeysInit || options.command == CliCommand::CatalogueKeysRotate)
        return RunKeySetWrite(options, out);
    if (options.command == CliCommand::CatalogueStatus)
        return RunCatalogueStatus(options, out);
    return RunInspect(options.package, out);
}

}  // namespace

int RunSubcommand(const std::vector<std::string>& arguments, const AttachedControllersFactory& attached,
                  const CatalogueServices& catalogue)
{
    CliOptions options;
    const CliParse parse = ParseCliOptions(arguments, options, std::cout, std::cerr);
    std::cout.flush();
    if (!parse.run)
        return parse.exitCode;
    InstallInterruptHandlers();
    TimestampedLog log;
    StderrSink stderrSink;
    if (!options.logFile.empty()) {
        if (!log.Open(options.logFile)) {
            std::fprintf(stderr, "controller-updater: cannot write the log %s\n", options.logFile.c_str());
            return kExitUsage;
        }
        SetDiagnosticSink(&log);
    } else if (options.verbose) {
        SetDiagnosticSink(&stderrSink);
    }
    EventOutput out(options.json, isatty(fileno(stderr)) != 0);
    int result = kExitDone;
    if (NeedsCatalogue(options) && (catalogue.fetcher == nullptr || catalogue.crypto == nullptr)) {
        std::fprintf(stderr, "controller-updater: this build has no firmware catalogue support\n");
        result = kExitUsage;
    } else if (Offline(options.command)) {
        result = RunOffline(options, catalogue, out);
    } else if (options.command == CliCommand::Station && options.simulated) {
        result = RunSimulatedStation(options, catalogue, out);
    } else if (options.command == CliCommand::Station) {
        const std::unique_ptr<AttachedControllers> real = attached();
        result = RunStation(options, catalogue, out, [&](const StationRequest& request) {
            return RunStationCommand(real->Backend(), SystemClock::Instance(), real->Describer(),
                                     real->ChangeWatch(), request, out);
        });
    } else if (options.simulated) {
        SimFleet fleet(SystemClock::Instance(), options.simulate);
        result = RunCommand(options, catalogue, fleet.Backend(),
                            [&](const std::u16string& path) { return fleet.Identity(path); }, out);
    } else {
        const std::unique_ptr<AttachedControllers> real = attached();
        result = RunCommand(options, catalogue, real->Backend(), real->Lookup(), out);
    }
    SetDiagnosticSink(nullptr);
    return result;
}
