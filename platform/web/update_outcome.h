#pragma once
// How the page learns what an update ended in.
#include "engine/update_result.h"
#include "platform/web/web_ui.h"

// TO BE REPLACED: once UpdateSession::RunUpdate() returns an UpdateResult,
// the page takes its outcome from there and this function goes. Until then
// the outcome is read from what the port was shown: the done label means
// success, the failure text failure, anything else ended quietly.
inline UpdateOutcome UpdateOutcomeFrom(const SeenByUi& seen)
{
    if (seen.doneLabel)
        return UpdateOutcome::Succeeded;
    if (seen.failureText)
        return UpdateOutcome::Failed;
    return UpdateOutcome::Quiet;
}
