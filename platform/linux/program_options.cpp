#include "platform/linux/program_options.h"

#include <charconv>
#include <system_error>
#include <utility>

namespace {
bool TakeValue(const std::string& argument, const std::string& prefix, std::string& value)
{
    if (argument.rfind(prefix, 0) != 0)
        return false;
    value = argument.substr(prefix.size());
    return true;
}

// 1 s to a day, as the console station takes it.
bool ParseRefresh(const std::string& text, std::uint32_t& seconds)
{
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 86'400)
        return false;
    seconds = value;
    return true;
}

// The station's switches, named as the console station names them.
bool* StationFlag(const std::string& argument, ProgramOptions& options)
{
    const std::pair<const char*, bool ProgramOptions::*> flags[] = {
        {"--beta", &ProgramOptions::beta},
        {"--offline", &ProgramOptions::offline},
        {"--allow-below-floor", &ProgramOptions::allowBelowFloor},
        {"--verify", &ProgramOptions::verify},
    };
    for (const auto& [name, member] : flags)
        if (argument == name)
            return &(options.*member);
    return nullptr;
}
}  // namespace

bool ParseProgramOptions(const std::vector<std::string>& arguments, ProgramOptions& options)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        std::string value;
        const bool withValue = argument == "--catalogue" || argument == "--trust" || argument == "--mirror" ||
                               argument == "--catalogue-refresh";
        if (withValue && i + 1 == arguments.size())
            return false;
        if (argument == "--catalogue") {
            options.catalogue = arguments[++i];
        } else if (argument == "--trust") {
            options.trust.push_back(arguments[++i]);
        } else if (argument == "--mirror") {
            options.mirrors.push_back(arguments[++i]);
        } else if (argument == "--catalogue-refresh") {
            if (!ParseRefresh(arguments[++i], options.catalogueRefreshS))
                return false;
        } else if (TakeValue(argument, "--version=", value)) {
            options.packageVersion = value;
        } else if (bool* flag = StationFlag(argument, options)) {
            *flag = true;
        } else if (TakeValue(argument, "--simulate=", value)) {
            options.simulate = ParseDemoKind(value);
            if (!options.simulate)
                return false;
        } else if (TakeValue(argument, "--package=", value)) {
            options.package = value;
        } else if (argument == "--yes" || argument == "-y") {
            options.autoConfirm = true;
        } else if (argument == "--verbose") {
            options.verbose = true;
        } else if (argument == "--console") {
            options.console = true;
        } else if (argument == "--station") {
            options.station = true;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else {
            return false;
        }
    }
    return true;
}

std::string ProgramUsage(const std::string& program)
{
    return "Usage: " + program + " [options]\n"
           "Updates the attached controller; without one, a simulated one.\n"
           "\n"
           "Options:\n"
           "  --simulate=stream|block  use a simulated controller of that family\n"
           "  --package=FILE.dat       the package to install (console)\n"
           "  --yes, -y                answer OK to every question (console)\n"
           "  --console                no dialog window, even with a display\n"
           "  --station                the station window: update every controller plugged in\n"
           "  --catalogue URL|DIR      offer the catalogue's newest fitting package (dialog); the\n"
           "                           station window's catalogue, used instead of the package\n"
           "  --trust KEYFILE          trust catalogues signed by this signify key too (dialog, station)\n"
           "  --mirror URL|DIR         another place holding the catalogue's files (station; repeat)\n"
           "  --version=V              with --catalogue: this package version (station)\n"
           "  --beta                   with --catalogue: beta packages too (station)\n"
           "  --offline                take an expired catalogue from a local folder (station)\n"
           "  --allow-below-floor      also take a package below the security floor (station)\n"
           "  --catalogue-refresh S    fetch the catalogue again after S seconds (station, default 600)\n"
           "  --verify                 read each block unit's image back before finishing (station)\n"
           "  --verbose                diagnostic lines on standard error\n"
           "  --help, -h               show this help and exit\n"
           "  --version                show the version and exit\n";
}
