#pragma once
// `list`: every attached supported controller, one line each.
#include "base/clock.h"
#include "cli/controller_scan.h"
#include "cli/event_output.h"

// kExitDone when at least one controller was listed, kExitNoController otherwise.
int RunList(IHidBackend& backend, IClock& clock, const IdentityLookup& lookup, EventOutput& out);
