#pragma once
// The subcommand line: list, inspect, update, check, catalogue, station.
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "catalogue/catalogue_freshness.h"
#include "catalogue/fetcher.h"
#include "catalogue/key_set.h"
#include "cli/keys_options.h"
#include "cli/sim_fleet.h"

enum class CliCommand { None, List, Inspect, Update, Check, CatalogueMake, CatalogueSign, CatalogueStatus,
                        CatalogueKeysInit, CatalogueKeysRotate, Station };

struct CliOptions {
    CliCommand command = CliCommand::None;
    bool simulated = false;  // --simulate: the controllers below, not the attached ones
    std::vector<SimulatedController> simulate;
    bool json = false;
    std::string logFile;
    std::string package;  // inspect's FILE or update's --package
    std::string device;   // update --device
    bool yes = false;
    bool verify = false;
    bool all = false;
    bool verbose = false;
    // The firmware catalogue (check, update --catalogue, catalogue make/sign).
    std::string catalogue;            // a path or an http(s) URL; make's DIR; sign's FILE
    std::vector<std::string> mirrors;  // --mirror: folders or base URLs holding the same files
    std::string packageVersion;       // update --version
    bool beta = false;
    std::vector<std::string> trust;   // --trust KEYFILE, added to the build's keys
    std::vector<std::string> trustRoots;  // --trust-root KEYFILE, in place of the build's root keys
    std::size_t rootThreshold = kDefaultRootThreshold;  // --root-threshold
    bool allowUnsigned = false;       // --allow-unsigned: an unsigned catalogue is taken
    bool allowBelowFloor = false;     // --allow-below-floor: a package below the security floor is taken
    std::uint32_t stallTimeoutS = kDefaultStallTimeoutMs / 1000;  // --stall-timeout
    std::string notes;                // make --notes
    std::string repository;           // make --repository
    std::uint32_t expiresDays = 90;   // make --expires
    // make's binding for packages the notes give none: --family, --usb, ...
    std::string family;
    std::vector<std::string> usb;
    std::vector<std::uint32_t> deviceTypes, models, subModels;
    std::string floor;                // make --floor: that binding's security floor
    std::string output;               // make --output
    std::vector<std::string> secretKeys;  // sign --key, one signature each
    KeySetOptions keySet;             // catalogue keys init/rotate
    bool offline = false;             // check, update: an expired local catalogue will do
    std::int64_t warnDays = kExpiryWarningDays;  // status --warn-days
    std::uint32_t catalogueRefreshS = 600;  // station --catalogue-refresh
    int maxUnits = 0;        // station --max
    std::string stationLog;  // station --log: the unit record
};

struct CliParse {
    bool run = false;  // false: exit with exitCode (help, version, usage error)
    int exitCode = 0;
};

// True when the command line is meant for the subcommand parser: it names a
// subcommand or asks for help or the version. Anything else is the console
// replay's command line.
bool WantsSubcommandParser(const std::vector<std::string>& arguments);

// Help goes to out, usage errors to err.
CliParse ParseCliOptions(const std::vector<std::string>& arguments, CliOptions& options,
                         std::ostream& out, std::ostream& err);
