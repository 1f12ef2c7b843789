#pragma once
// A fake clock for runs that must end: once time passes the deadline it asks
// the session to stop, so a host that would never end shows up as a run that
// hit its limit (tests, fuzz targets) rather than as a hang.
#include <cstdint>

#include "engine/update_session.h"
#include "sim/fake_clock.h"

class GuardClock final : public IClock {
public:
    explicit GuardClock(FakeClock& inner) : m_Inner(inner) {}

    // Stops session once NowMs() passes deadlineMs; nullptr disarms.
    void Guard(UpdateSession* session, std::uint64_t deadlineMs)
    {
        m_Session = session;
        m_DeadlineMs = deadlineMs;
        m_Hit = false;
    }
    bool LimitHit() const { return m_Hit; }

    std::uint64_t NowMs() override
    {
        const std::uint64_t now = m_Inner.NowMs();
        if (m_Session && now > m_DeadlineMs) {
            m_Hit = true;
            m_Session->RequestStop();
        }
        return now;
    }
    bool SleepMs(std::uint32_t ms, const StopSignal& stop) override
    {
        const bool slept = m_Inner.SleepMs(ms, stop);
        NowMs();
        return slept;
    }
    std::unique_ptr<IClockWait> MakeWait() override { return m_Inner.MakeWait(); }

private:
    FakeClock& m_Inner;
    UpdateSession* m_Session = nullptr;
    std::uint64_t m_DeadlineMs = 0;
    bool m_Hit = false;
};
