#pragma once
// Whether a supported controller is attached, asked once at start.
#include <string>

#include "hid/hid_backend.h"

// True with the controller's interface path when one is present. Registers
// nothing and leaves nothing open. The calling thread uses the backend.
bool FindAttachedController(IHidBackend& backend, std::u16string& path);
