#include "app/process_state.h"

#include "hid/hid.h"

void ResetProcessState()
{
    ActiveDialog = nullptr;
    UpdateButton = nullptr;
    ProgressBar = nullptr;
    DoneLabel = nullptr;
    HintLabel = nullptr;
    StopFlag = 0;
    TransferState = 0;
    cur_devVersion = 0;
    firmwareType = 0;
    ResetHidProcessState();
}
