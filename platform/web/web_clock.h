#pragma once
// The browser's clock. Pauses and waits suspend the module (Asyncify) and
// let the page run; a stop ends them early (the page wakes every wait when
// it requests one).
#include "base/clock.h"

class WebClock final : public IClock {
public:
    std::uint64_t NowMs() override;
    bool SleepMs(std::uint32_t ms, const StopSignal& stop) override;
    // One thread: nothing else can notify while a wait suspends, so it
    // waits until the deadline (or a stop) and the caller re-checks.
    std::unique_ptr<IClockWait> MakeWait() override;
};
