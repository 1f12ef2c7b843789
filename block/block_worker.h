#pragma once
// The update worker of a block-protocol controller.
class UpdateSession;

unsigned BlockUpdateThread(UpdateSession& session);
