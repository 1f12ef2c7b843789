#pragma once
// The outcome an update shows, the same for every protocol. Neither message
// is shown once a stop was requested: a stopped update shows nothing more.
class UpdateSession;

// TextId::Success, then the done label and the progress bar back at 0.
void ShowSuccess(UpdateSession& session);
// TextId::Failure.
void ShowFailure(UpdateSession& session);
