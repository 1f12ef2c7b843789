// Temporary until the block protocol lands.
#include "block/block_identify.h"
#include "block/block_worker.h"

void IdentifyBlockDevice() {}
unsigned BlockUpdateThread(void*) { return 0; }
