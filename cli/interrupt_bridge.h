#pragma once
// Turns Ctrl-C into a stop request for waits outside an update session (a
// download): a thread watches the interrupt flag while the bridge lives.
#include <atomic>
#include <thread>

#include "base/stop_signal.h"

class InterruptBridge {
public:
    InterruptBridge();
    ~InterruptBridge();
    InterruptBridge(const InterruptBridge&) = delete;
    InterruptBridge& operator=(const InterruptBridge&) = delete;

    const StopSignal& Stop() const { return m_Stop; }

private:
    StopSignal m_Stop;
    StopSignal m_Done;
    std::thread m_Watcher;
};
