#pragma once
// The catalogue's subcommands: check, update --catalogue and catalogue make
// (catalogue sign and keys: cli/keys_commands.h).
#include "base/clock.h"
#include "cli/catalogue_source.h"
#include "cli/cli_options.h"
#include "cli/controller_scan.h"
#include "cli/event_output.h"

// Each controller's version and the newest fitting package; kExitUpdateAvailable
// when one of them has a newer one.
int RunCheck(const CatalogueServices& services, IHidBackend& backend, IClock& clock, const IdentityLookup& lookup,
             const CliOptions& options, EventOutput& out);

// Downloads, checks and installs the newest fitting package (or --version's).
int RunCatalogueUpdate(const CatalogueServices& services, IHidBackend& backend, IClock& clock,
                       const IdentityLookup& lookup, const CliOptions& options, EventOutput& out);

int RunCatalogueMake(const CatalogueServices& services, const CliOptions& options, EventOutput& out);
