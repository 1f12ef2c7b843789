#pragma once
// A fake clock for runs that must end: once time passes the deadline, or the
// host has read one unchanging time so often that it can only be spinning, it
// asks the session to stop, so a host that would never end shows up as a run
// that hit its limit (tests, fuzz targets) rather than as a hang.
#include <atomic>
#include <cstdint>

#include "engine/update_session.h"
#include "sim/fake_clock.h"

class GuardClock final : public IClock {
public:
    explicit GuardClock(FakeClock& inner) : m_Inner(inner) {}

    // Stops session once NowMs() passes deadlineMs; nullptr disarms.
    void Guard(UpdateSession* session, std::uint64_t deadlineMs)
    {
        m_Hit = false;
        m_StillReads = 0;
        m_DeadlineMs = deadlineMs;
        m_Session = session;
    }
    bool LimitHit() const { return m_Hit; }

    std::uint64_t NowMs() override
    {
        const std::uint64_t now = m_Inner.NowMs();
        UpdateSession* session = m_Session;
        if (!session)
            return now;
        if (m_LastMs.exchange(now) != now)
            m_StillReads = 0;
        if (now > m_DeadlineMs || ++m_StillReads > kStillReadsLimit) {
            m_Hit = true;
            session->RequestStop();
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

    // Readings of one time: a 1 MiB stream update, answered at once, takes
    // about 33000.
    static constexpr std::uint64_t kStillReadsLimit = 200'000;

private:
    FakeClock& m_Inner;
    // Atomic: a dialog's worker reads them while its UI thread may read the time.
    std::atomic<UpdateSession*> m_Session{nullptr};
    std::atomic<std::uint64_t> m_DeadlineMs{0};
    std::atomic<bool> m_Hit{false};
    std::atomic<std::uint64_t> m_LastMs{0};
    std::atomic<std::uint64_t> m_StillReads{0};
};
