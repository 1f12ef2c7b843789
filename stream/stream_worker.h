#pragma once
// Host side of the stream protocol: the version query run when a controller
// is attached, and the update worker.

// UI thread: opens the link and reads the controller's version (or, for a
// block-protocol controller, identifies it).
void AttachDevice();
// Worker thread entry for a stream-protocol update; the parameter is unused.
unsigned Usb_UpdateThread(void* parameter);
