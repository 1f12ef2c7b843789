#pragma once
// The command line of the Linux programs.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/demo_setup.h"

struct ProgramOptions {
    // Set by --simulate: always the simulated controller of that family.
    std::optional<DemoKind> simulate;
    std::string package;  // --package=FILE.dat (console mode)
    bool autoConfirm = false;  // --yes: OK to every question (console mode)
    bool verbose = false;      // --verbose: diagnostic lines to stderr
    bool console = false;      // --console: no dialog even with a display
    bool station = false;      // --station: the station window (controller-updater-qt)
    std::string catalogue;           // --catalogue URL: the dialog offers its packages
    std::vector<std::string> trust;  // --trust KEYFILE: beside the build's keys
    // The station window's catalogue choice, as the console station takes it.
    std::vector<std::string> mirrors;  // --mirror URL|DIR
    std::string packageVersion;        // --version=V (a bare --version is the program's)
    bool beta = false;                 // --beta
    bool offline = false;              // --offline
    bool allowBelowFloor = false;      // --allow-below-floor
    std::uint32_t catalogueRefreshS = 600;  // --catalogue-refresh S
    bool verify = false;               // --verify: block units read their image back (station)
    bool help = false;         // --help, -h: the usage on standard output, nothing else
    bool version = false;      // --version: the program's name and version, nothing else
};

// False on an unknown or malformed argument.
bool ParseProgramOptions(const std::vector<std::string>& arguments, ProgramOptions& options);

// One line per option, for --help and mistakes (help2man reads it to write
// the manual pages).
std::string ProgramUsage(const std::string& program);
