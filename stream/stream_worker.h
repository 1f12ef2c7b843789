#pragma once
// Host side of the stream protocol: the version query run when a controller
// is attached, and the update worker.
class UpdateSession;

// UI thread: opens the link and reads the controller's version (or, for a
// block-protocol controller, identifies it). Bounded.
void AttachDevice(UpdateSession& session);
// The update worker of a stream-protocol controller.
unsigned Usb_UpdateThread(UpdateSession& session);
