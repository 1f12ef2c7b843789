#pragma once
// One update from the console: the dialog logic over a console view, one
// click of the update button, and device events handled on this thread.
#include <cstdint>
#include <functional>
#include <string>

#include "base/clock.h"
#include "hid/hid_backend.h"

using DeviceEventCallback = std::function<void(NotifyWindow window, std::uint32_t event)>;

struct ConsoleRunSetup {
    std::u16string packagePath;  // what the file dialog answers; empty: Cancel
    bool autoConfirm = false;    // OK to every question without asking
    // Installs the backend's device-event callback (any thread calls it);
    // called with an empty function before the run returns.
    std::function<void(DeviceEventCallback)> setNotifier;
    // Runs right after the dialog's initialization (may be empty).
    std::function<void()> afterInit;
};

// 0 when the update succeeded, 1 otherwise (also with no controller). The
// calling thread is the UI thread.
int RunConsoleUpdate(IHidBackend& backend, IClock& clock, const ConsoleRunSetup& setup);
