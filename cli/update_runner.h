#pragma once
// `update`: one engine session per controller, each on its own thread, and
// the calling thread watching for an interrupt.
#include <string>
#include <vector>

#include "base/clock.h"
#include "cli/controller_scan.h"
#include "cli/event_output.h"

struct UpdateRequest {
    std::string package;
    bool autoConfirm = false;
    bool verify = false;
};

// The worst exit code of the controllers' updates.
int RunUpdates(IHidBackend& backend, IClock& clock, const std::vector<FoundController>& controllers,
               const UpdateRequest& request, EventOutput& out);

// `update` as the command line asks it: the package checked first, then the
// controller named by device (or the first, or all of them).
int RunUpdateCommand(IHidBackend& backend, IClock& clock, const IdentityLookup& lookup,
                     const UpdateRequest& request, const std::string& device, bool all,
                     EventOutput& out);
