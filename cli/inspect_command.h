#pragma once
// `inspect FILE`: every record of a package, its checks and which
// controllers would be given it. Needs no controller.
#include <string>

#include "cli/event_output.h"
#include "protocols/package_inspection.h"

// kExitDone when every record is sound, kExitPackageRefused otherwise.
int RunInspect(const std::string& path, EventOutput& out);
