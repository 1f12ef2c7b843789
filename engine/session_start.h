#pragma once
// How every front end starts its session: find the controller (probe for
// the first supported one, or take the one it was given), attach it, set how
// the drivers wait, show the title. The steps are the same everywhere; what
// differs between front ends is named by SessionStart, not copied.
#include <cstdint>
#include <optional>
#include <string>

class UpdateSession;

enum class StartIdle {
    // The dialog and the page: from the first attach on, the drivers wait as
    // after a finished image, so a stream controller that asks for data
    // before it has announced itself is told END_UPDATE (stream phase 3).
    AsAfterImage,
    // The command line and the station: the update follows at once, so the
    // drivers stay as made.
    Fresh,
};

// A controller the front end already knows (listed or reported by a device
// event): the link is pinned to it, so nothing else on the bus is probed or
// opened, even when the engine later asks whether the controller is there.
struct KnownController {
    std::u16string path;
    std::uint32_t variant = 0;
};

struct SessionStart {
    StartIdle idle = StartIdle::AsAfterImage;
    std::optional<KnownController> controller;  // none: probe
};

// Runs the start on the calling thread (the one that owns the session).
// True when a controller was there and was attached. Bounded.
bool StartSession(UpdateSession& session, const SessionStart& start);
