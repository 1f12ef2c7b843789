#pragma once
// The subcommand line: list, inspect, update, station.
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/sim_fleet.h"

enum class CliCommand { None, List, Inspect, Update, Station };

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
