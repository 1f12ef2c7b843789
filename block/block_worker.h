#pragma once
// Worker thread entry for a block-protocol update; the parameter is unused.
unsigned BlockUpdateThread(void* parameter);
