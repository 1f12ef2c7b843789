#include "cli/cli_options.h"

#include <algorithm>
#include <ostream>

#include <CLI/CLI.hpp>

#include "cli/exit_codes.h"

#if !defined(UPDATER_VERSION)
#error "UPDATER_VERSION comes from the build"
#endif

namespace {

// The Windows console program has no console replay to fall back on.
constexpr const char* kFooter =
#if !defined(_WIN32)
    "Without a subcommand: one update of the attached controller, or of a simulated one,\n"
    "from the console (--simulate=stream|block, --package=FILE.dat, --yes, --console, --verbose).\n"
    "\n"
#endif
    "Exit codes: 0 done, 1 update failed, 2 usage, 3 no controller, 4 package refused,\n"
    "5 cancelled, 6 station record cannot be written, 130 interrupted.";

}  // namespace

bool WantsSubcommandParser(const std::vector<std::string>& arguments)
{
    return std::any_of(arguments.begin(), arguments.end(), [](const std::string& a) {
        return a == "list" || a == "inspect" || a == "update" || a == "station" || a == "--help" || a == "-h" ||
               a == "--version";
    });
}

CliParse ParseCliOptions(const std::vector<std::string>& arguments, CliOptions& options,
                         std::ostream& out, std::ostream& err)
{
    CLI::App app("Firmware updater for USB game controllers.", "controller-updater");
    app.footer(kFooter);
    app.set_version_flag("--version", std::string("controller-updater ") + UPDATER_VERSION);
    app.require_subcommand(1);
    std::string simulate;
    auto addCommon = [&](CLI::App* command) {
        command->add_option("--simulate", simulate,
                            "simulated controllers instead of attached ones, e.g. stream,block (none: no controller)")
            ->type_name("LIST");
        command->add_flag("--json", options.json, "newline-delimited JSON events on stdout");
        command->add_option("--log", options.logFile, "diagnostic lines with timestamps to FILE")->type_name("FILE");
        command->add_flag("--verbose", options.verbose, "diagnostic lines on stderr");
    };
    CLI::App* list = app.add_subcommand("list", "list every attached supported controller");
    addCommon(list);
    CLI::App* inspect = app.add_subcommand("inspect", "show the records of a package");
    inspect->add_option("FILE", options.package, "the package (.dat)")->required()->type_name("");
    inspect->add_flag("--json", options.json, "newline-delimited JSON events on stdout");
    CLI::App* update = app.add_subcommand("update", "install a package on a controller");
    addCommon(update);
    update->add_option("--package", options.package, "the package (.dat)")->required()->type_name("FILE");
    auto* device =
        update->add_option("--device", options.device, "the controller's path (see list)")->type_name("PATH");
    update->add_flag("--all", options.all, "every attached controller, in parallel (needs --yes)")
        ->excludes(device);
    update->add_flag("--yes,-y", options.yes, "install without asking");
    update->add_flag("--verify", options.verify, "read the image back before finishing (block)");

    CLI::App* station = app.add_subcommand(
        "station", "update every controller that is plugged in, once each, in parallel, until Ctrl-C");
    station->add_option("--package", options.package, "the package (.dat)")->required()->type_name("FILE");
    station->add_option("--max", options.maxUnits, "stop after N units")->type_name("N")->check(CLI::PositiveNumber);
    station->add_flag("--json", options.json, "newline-delimited JSON events on stdout");
    station->add_option("--log", options.stationLog, "append every unit, after a header, to FILE")->type_name("FILE");
    station->add_option("--simulate", simulate, "simulated controllers plugged in at the start, e.g. stream,block")
        ->type_name("LIST");
    station->add_flag("--verbose", options.verbose, "diagnostic lines on stderr");

    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        const auto parsed = app.get_subcommands();
        // The whole tree at the top: help2man makes the manual page from it.
        out << (parsed.empty() ? app.help("", CLI::AppFormatMode::All) : parsed.front()->help());
        return {false, kExitDone};
    } catch (const CLI::CallForVersion& e) {
        out << e.what() << "\n";
        return {false, kExitDone};
    } catch (const CLI::ParseError& e) {
        err << "controller-updater: " << e.what() << "\n" << "Run controller-updater --help for usage.\n";
        return {false, kExitUsage};
    }
    if (list->parsed())
        options.command = CliCommand::List;
    else if (inspect->parsed())
        options.command = CliCommand::Inspect;
    else if (station->parsed())
        options.command = CliCommand::Station;
    else
        options.command = CliCommand::Update;
    if (!simulate.empty()) {
        auto parsed = ParseSimulatedList(simulate);
        if (!parsed) {
            err << "controller-updater: --simulate: expected a list of stream or block, got '" << simulate
                << "'\n";
            return {false, kExitUsage};
        }
        options.simulate = std::move(*parsed);
        options.simulated = true;
    }
    if (options.all && !options.yes) {
        err << "controller-updater: update --all needs --yes (one question per controller would interleave)\n";
        return {false, kExitUsage};
    }
    return {true, kExitDone};
}
