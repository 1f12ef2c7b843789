#pragma once
// `update`: one engine session per controller, each on its own thread, and
// the calling thread watching for an interrupt.
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "cli/controller_scan.h"
#include "cli/event_output.h"
#include "engine/controller_binding.h"

struct UpdateRequest {
    std::string package;
    bool autoConfirm = false;
    bool verify = false;
    std::optional<ControllerBinding> binding;  // a catalogue's package: the controllers it is for
};

// The worst exit code of the controllers' updates.
int RunUpdates(IHidBackend& backend, IClock& clock, const std::vector<FoundController>& controllers,
               const UpdateRequest& request, EventOutput& out);

// The controllers an update is for: the one named by device, or all, or
// the first; each openable and, with verify, of the block family. Reports
// why there are none and returns its exit code, else kExitDone.
int PickControllers(IHidBackend& backend, const IdentityLookup& lookup, const std::string& device, bool all,
                    bool verify, EventOutput& out, std::vector<FoundController>& found);

// `update` as the command line asks it: the package checked first, then the
// controller named by device (or the first, or all of them).
int RunUpdateCommand(IHidBackend& backend, IClock& clock, const IdentityLookup& lookup,
                     const UpdateRequest& request, const std::string& device, bool all,
                     EventOutput& out);
