#pragma once
// What one update ended in, as the protocol driver saw it. Front ends read
// their verdict from this, never from which UI calls happened.
#include "engine/image_verification.h"

enum class UpdateOutcome {
    Succeeded,  // the whole image went over and the success text was shown
    Failed,     // the failure text was shown
    Quiet,      // stopped, refused or declined: nothing more was shown
};

struct UpdateResult {
    UpdateOutcome outcome = UpdateOutcome::Quiet;
    VerifyResult verify;
};
