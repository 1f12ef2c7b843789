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
    "5 cancelled, 6 catalogue refused or unreachable, 7 station record cannot be written,\n"
    "10 an update is available (check), 11 the catalogue expires soon (catalogue status),\n"
    "130 interrupted.";

constexpr const char* kOfflineHelp = "take an expired catalogue from a local file (its age is shown)";

constexpr const char* kMirrorHelp =
    "another folder or base URL holding the catalogue's files under the same names (repeat); "
    "the newest catalogue accepted is used";

constexpr const char* kAllowUnsignedHelp =
    "take a catalogue without a signature (shown as unsigned); a signature that is there must still be good";
constexpr const char* kAllowBelowFloorHelp =
    "with --catalogue: also take a package below the catalogue's security floor (it is logged)";

}  // namespace

bool WantsSubcommandParser(const std::vector<std::string>& arguments)
{
    return std::any_of(arguments.begin(), arguments.end(), [](const std::string& a) {
        return a == "list" || a == "inspect" || a == "update" || a == "check" || a == "catalogue" ||
               a == "station" ||
               a == "--help" || a == "-h" ||
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
    auto addRoots = [&](CLI::App* command, CLI::Option* needed) {
        auto* roots = command->add_option("--trust-root", options.trustRoots,
                                          "follow the key chain from these root keys, not the build's (repeat)")
                          ->type_name("KEYFILE");
        auto* threshold = command->add_option("--root-threshold", options.rootThreshold,
                                              "with --trust-root: how many must sign (default 2)")
                              ->type_name("N")
                              ->needs(roots);
        if (needed != nullptr) {
            roots->needs(needed);
            threshold->needs(needed);
        }
    };
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
    // What update and station take beside --catalogue.
    auto addCatalogueChoice = [&](CLI::App* command, CLI::Option* fromCatalogue) {
        command->add_option("--mirror", options.mirrors, kMirrorHelp)->type_name("URL")->needs(fromCatalogue);
        command->add_option("--version", options.packageVersion, "with --catalogue: this version (e.g. 1.40, 1.41b2, 1.40r3)")
            ->type_name("V")
            ->needs(fromCatalogue);
        command->add_flag("--beta", options.beta, "with --catalogue: beta packages too")->needs(fromCatalogue);
        command->add_flag("--offline", options.offline, kOfflineHelp)->needs(fromCatalogue);
        command->add_option("--trust", options.trust, "with --catalogue: also trust this signify public key")
            ->type_name("KEYFILE")
            ->needs(fromCatalogue);
        command->add_flag("--allow-unsigned", options.allowUnsigned, kAllowUnsignedHelp)->needs(fromCatalogue);
        command->add_flag("--allow-below-floor", options.allowBelowFloor, kAllowBelowFloorHelp)->needs(fromCatalogue);
        addRoots(command, fromCatalogue);
        command->add_option("--stall-timeout", options.stallTimeoutS, "with --catalogue: give up a download silent this long")
            ->type_name("SECONDS")
            ->check(CLI::Range(1, 3600))
            ->needs(fromCatalogue);
    };
    CLI::App* update = app.add_subcommand("update", "install a package on a controller");
    addCommon(update);
    auto* package = update->add_option("--package", options.package, "the package (.dat)")->type_name("FILE");
    auto* fromCatalogue =
        update->add_option("--catalogue", options.catalogue, "the newest fitting package of a catalogue (path or http(s) URL)")
            ->type_name("URL")
            ->excludes(package);
    addCatalogueChoice(update, fromCatalogue);
    auto* device =
        update->add_option("--device", options.device, "the controller's path (see list)")->type_name("PATH");
    update->add_flag("--all", options.all, "every attached controller, in parallel (needs --yes)")
        ->excludes(device);
    update->add_flag("--yes,-y", options.yes, "install without asking");
    update->add_flag("--verify", options.verify, "read the image back before finishing (block)");

    CLI::App* check = app.add_subcommand("check", "each controller's version and the newest fitting package of a catalogue");
    addCommon(check);
    check->add_option("--catalogue", options.catalogue, "the catalogue (path or http(s) URL)")
        ->required()
        ->type_name("URL");
    check->add_option("--mirror", options.mirrors, kMirrorHelp)->type_name("URL");
    check->add_flag("--beta", options.beta, "beta packages too");
    check->add_flag("--offline", options.offline, kOfflineHelp);
    check->add_option("--trust", options.trust, "also trust this signify public key")->type_name("KEYFILE");
    check->add_flag("--allow-unsigned", options.allowUnsigned, kAllowUnsignedHelp);
    addRoots(check, nullptr);
    check->add_option("--stall-timeout", options.stallTimeoutS, "give up a download silent this long")
        ->type_name("SECONDS")
        ->check(CLI::Range(1, 3600));
    CLI::App* catalogue = app.add_subcommand("catalogue", "make, sign or look at a firmware catalogue or its key sets");
    catalogue->require_subcommand(1);
    CLI::App* make = catalogue->add_subcommand("make", "write DIR/catalogue.json from the .dat packages in DIR");
    make->add_option("DIR", options.catalogue, "the folder of packages")->required()->type_name("");
    make->add_option("--notes", options.notes, "release notes (default: DIR/notes.json when there is one)")
        ->type_name("FILE");
    make->add_option("--output", options.output, "where to write it (default: DIR/catalogue.json)")->type_name("FILE");
    make->add_option("--repository", options.repository,
                     "the series' name (default: the one of the catalogue already there)")
        ->type_name("NAME");
    make->add_option("--expires", options.expiresDays, "days until it expires (default 90)")
        ->type_name("DAYS")
        ->check(CLI::Range(1, 3660));
    make->add_option("--family", options.family, "packages the notes bind to nothing are for this family")
        ->type_name("stream|block")
        ->check(CLI::IsMember({"stream", "block"}));
    make->add_option("--usb", options.usb, "... and these controllers (repeat for each)")->type_name("VID:PID");
    make->add_option("--device-type", options.deviceTypes, "... of these block device types")->type_name("N");
    make->add_option("--model", options.models, "... of these stream models")->type_name("N");
    make->add_option("--sub-model", options.subModels, "... and sub-models")->type_name("N");
    make->add_option("--floor", options.floor,
                     "no package below this version is installed from the catalogue on the controllers "
                     "--family, --usb and --device-type name")
        ->type_name("V");
    make->add_flag("--json", options.json, "newline-delimited JSON events on stdout");
    CLI::App* sign = catalogue->add_subcommand("sign", "add a signature to FILE.sig for each unencrypted signify secret key");
    sign->add_option("FILE", options.catalogue, "the catalogue or key set")->required()->type_name("");
    sign->add_option("--key", options.secretKeys, "a secret key (signify -G -n; repeat for each)")
        ->required()
        ->type_name("KEYFILE");
    const KeysSubcommands keys = AddKeysSubcommands(*catalogue, options.keySet);
    CLI::App* status = catalogue->add_subcommand("status", "a catalogue's repository, version, signer and days to expiry");
    status->add_option("FILE", options.catalogue, "the catalogue")->required()->type_name("");
    status->add_option("--warn-days", options.warnDays, "exit " + std::to_string(kExitCatalogueExpiring) + " when fewer days are left (default " +
                                                    std::to_string(kExpiryWarningDays) + ")")
        ->type_name("N")
        ->check(CLI::Range(0, 3660));
    status->add_flag("--json", options.json, "newline-delimited JSON events on stdout");
    CLI::App* station = app.add_subcommand(
        "station", "update every controller that is plugged in, once each, in parallel, until Ctrl-C");
    auto* stationPackage = station->add_option("--package", options.package, "the package (.dat)")->type_name("FILE");
    auto* stationCatalogue =
        station->add_option("--catalogue", options.catalogue,
                            "each unit gets the newest package of this catalogue that is for it (path or http(s) URL)")
            ->type_name("URL")
            ->excludes(stationPackage);
    addCatalogueChoice(station, stationCatalogue);
    station->add_option("--catalogue-refresh", options.catalogueRefreshS,
                        "with --catalogue: fetch it again after this long (default 600)")
        ->type_name("SECONDS")
        ->check(CLI::Range(1, 86400))
        ->needs(stationCatalogue);
    station->add_flag("--verify", options.verify, "read each block unit's image back before finishing");
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
    else if (check->parsed())
        options.command = CliCommand::Check;
    else if (make->parsed())
        options.command = CliCommand::CatalogueMake;
    else if (sign->parsed())
        options.command = CliCommand::CatalogueSign;
    else if (keys.init->parsed())
        options.command = CliCommand::CatalogueKeysInit;
    else if (keys.rotate->parsed())
        options.command = CliCommand::CatalogueKeysRotate;
    else if (status->parsed())
        options.command = CliCommand::CatalogueStatus;
    else if (station->parsed())
        options.command = CliCommand::Station;
    else
        options.command = CliCommand::Update;
    if (options.command == CliCommand::Update && options.package.empty() && options.catalogue.empty()) {
        err << "controller-updater: update needs --package FILE or --catalogue URL\n";
        return {false, kExitUsage};
    }
    if (options.command == CliCommand::Station && options.package.empty() && options.catalogue.empty()) {
        err << "controller-updater: station needs --package FILE or --catalogue URL\n";
        return {false, kExitUsage};
    }
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
