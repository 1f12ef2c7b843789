#include "platform/linux/program_options.h"

namespace {
bool TakeValue(const std::string& argument, const std::string& prefix, std::string& value)
{
    if (argument.rfind(prefix, 0) != 0)
        return false;
    value = argument.substr(prefix.size());
    return true;
}
}  // namespace

bool ParseProgramOptions(const std::vector<std::string>& arguments, ProgramOptions& options)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        std::string value;
        const bool withValue = argument == "--catalogue" || argument == "--trust";
        if (withValue && i + 1 == arguments.size())
            return false;
        if (argument == "--catalogue") {
            options.catalogue = arguments[++i];
        } else if (argument == "--trust") {
            options.trust.push_back(arguments[++i]);
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
           "  --catalogue URL          offer the catalogue's newest fitting package (dialog)\n"
           "  --trust KEYFILE          trust catalogues signed by this signify key too (dialog)\n"
           "  --verbose                diagnostic lines on standard error\n"
           "  --help, -h               show this help and exit\n"
           "  --version                show the version and exit\n";
}
