// Temporary until the stream protocol lands.
#include "stream/stream_worker.h"

void AttachDevice() {}
unsigned Usb_UpdateThread(void*) { return 0; }
