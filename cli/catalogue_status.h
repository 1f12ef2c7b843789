#pragma once
// catalogue status FILE: what a publisher's CI watches, the repository,
// version, signer and days to expiry of a catalogue, and an exit code that
// raises the alarm before readers start refusing it.
#include "cli/cli_options.h"
#include "cli/event_output.h"

// kExitCatalogueExpiring when fewer than options.warnDays days are left.
int RunCatalogueStatus(const CliOptions& options, EventOutput& out);
