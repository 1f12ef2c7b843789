#pragma once
// A clock that never waits: sleeps and time-outs advance it at once. It keeps
// every pause it was asked for so tests can check them.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "base/clock.h"

class FakeClock final : public IClock {
public:
    std::uint64_t NowMs() override { return m_Now.load(); }
    bool SleepMs(std::uint32_t ms, const StopSignal& stop) override;
    // Its waits advance the clock to their deadline at once.
    std::unique_ptr<IClockWait> MakeWait() override;

    void Advance(std::uint64_t ms) { m_Now += ms; }
    // Moves the clock to ms unless it is already past it.
    void AdvanceTo(std::uint64_t ms);
    std::vector<std::uint32_t> Sleeps() const;
    void ClearSleeps();

private:
    std::atomic<std::uint64_t> m_Now{1'000'000};
    mutable std::mutex m_Mutex;
    std::vector<std::uint32_t> m_Sleeps;
};
