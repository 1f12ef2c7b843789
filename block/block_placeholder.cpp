// Temporary until the block update worker lands.
#include "block/block_worker.h"

unsigned BlockUpdateThread(void*) { return 0; }
