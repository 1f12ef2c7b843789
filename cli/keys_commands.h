#pragma once
// The maintainer's signing subcommands: catalogue sign (one signature per
// key, added to FILE.sig) and catalogue keys init / rotate (the numbered
// key sets, catalogue/key_set.h).
#include "cli/catalogue_source.h"
#include "cli/cli_options.h"
#include "cli/event_output.h"

int RunCatalogueSign(const CatalogueServices& services, const CliOptions& options, EventOutput& out);
// Writes 1.keys.json (init) or the one after the newest in the folder (rotate).
int RunKeySetWrite(const CliOptions& options, EventOutput& out);
