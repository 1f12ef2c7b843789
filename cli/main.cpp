// controller-updater: list, inspect and update from the command line. A
// command line without a subcommand is the console replay of the dialog.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/diagnostics.h"
#include "base/utf.h"
#include "cli/cli_options.h"
#include "cli/event_output.h"
#include "cli/exit_codes.h"
#include "cli/inspect_command.h"
#include "cli/interrupt_signal.h"
#include "cli/list_command.h"
#include "cli/sim_fleet.h"
#include "cli/timestamped_log.h"
#include "cli/update_runner.h"

#if defined(_WIN32)
#include <io.h>
#include "platform/win32/win32_hid_backend.h"
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#include "cli/sysfs_identity.h"
#include "platform/linux/hidraw_backend.h"
#include "platform/linux/udev_hidraw_system.h"
// The console replay (platform/linux/main.cpp).
int LegacyConsoleMain(int argc, char** argv);
#endif

namespace {

class StderrSink final : public IDiagnosticSink {
public:
    void Write(const std::u16string& line) override { std::fputs(Utf16ToUtf8(line).c_str(), stderr); }
};

// The attached controllers' backend and how it names devices it cannot open.
struct RealControllers {
#if defined(_WIN32)
    Win32HidBackend backend;
    IdentityLookup lookup;
#else
    RealControllers() : backend(udev, SystemClock::Instance()) {}
    UdevHidrawSystem udev;
    HidrawBackend backend;
    IdentityLookup lookup = SysfsHidIdentity;
#endif
};

int RunCommand(const CliOptions& options, IHidBackend& backend, const IdentityLookup& lookup, EventOutput& out)
{
    IClock& clock = SystemClock::Instance();
    switch (options.command) {
    case CliCommand::List:
        return RunList(backend, clock, lookup, out);
    case CliCommand::Update: {
        UpdateRequest request{options.package, options.yes, options.verify};
        return RunUpdateCommand(backend, clock, lookup, request, options.device, options.all, out);
    }
    case CliCommand::Inspect:
    case CliCommand::None:
        break;
    }
    return RunInspect(options.package, out);
}

int RunSubcommand(const std::vector<std::string>& arguments)
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
    if (options.command == CliCommand::Inspect) {
        result = RunInspect(options.package, out);
    } else if (options.simulated) {
        SimFleet fleet(SystemClock::Instance(), options.simulate);
        result = RunCommand(options, fleet.Backend(),
                            [&](const std::u16string& path) { return fleet.Identity(path); }, out);
    } else {
        auto real = std::make_unique<RealControllers>();
        result = RunCommand(options, real->backend, real->lookup, out);
    }
    SetDiagnosticSink(nullptr);
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
#if !defined(_WIN32)
    if (!WantsSubcommandParser(arguments))
        return LegacyConsoleMain(argc, argv);
#endif
    return RunSubcommand(arguments);
}
