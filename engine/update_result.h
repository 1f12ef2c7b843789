#pragma once
// What one update ended in, as the protocol driver saw it. Front ends read
// their verdict from this, never from which UI calls happened.
#include "engine/firmware_selection.h"
#include "engine/image_verification.h"
#include "text/text_id.h"

enum class UpdateOutcome {
    Succeeded,  // the whole image went over and the success text was shown
    Failed,     // the failure text was shown
    Quiet,      // stopped, refused or declined: nothing more was shown
};

struct UpdateResult {
    UpdateOutcome outcome = UpdateOutcome::Quiet;
    // With Failed: the text the user was shown.
    TextId failureText = TextId::Failure;
    // With Failed: the controller itself reported the failure; otherwise it
    // fell silent, went away or a check failed.
    bool controllerReported = false;
    VerifyResult verify;
    // This update's package selection: why nothing was sent, when refused.
    SelectionOutcome selection;
};
