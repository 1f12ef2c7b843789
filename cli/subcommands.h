#pragma once
// The command line's subcommands (list, inspect, update, station). The program's
// entry point lives in platform/ and hands in the attached controllers.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/catalogue_source.h"
#include "cli/controller_scan.h"
#include "cli/station_command.h"
#include "hid/hid_backend.h"

// The platform's backend to the attached controllers, and how it names
// devices it cannot open.
class AttachedControllers {
public:
    virtual ~AttachedControllers() = default;
    virtual IHidBackend& Backend() = 0;
    virtual IdentityLookup Lookup() = 0;
    // For the station: how a unit is named without opening it, and its
    // device changes. Empty where the platform has neither.
    virtual UnitDescriber Describer() { return {}; }
    virtual DeviceChangeWatch ChangeWatch() { return {}; }
};
// Made only when a subcommand needs real controllers.
using AttachedControllersFactory = std::function<std::unique_ptr<AttachedControllers>()>;

// Parses the arguments (without the program name) and runs the subcommand;
// the exit code. Without catalogue services the catalogue's subcommands
// say they are not in this build.
int RunSubcommand(const std::vector<std::string>& arguments, const AttachedControllersFactory& attached,
                  const CatalogueServices& catalogue = {});
