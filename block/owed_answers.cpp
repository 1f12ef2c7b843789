#include "block/owed_answers.h"

#include "block/block_timing.h"
#include "engine/update_session.h"

void SendRecord::Note(UpdateSession& session)
{
    const std::uint64_t now = session.Clock().NowMs();
    if (m_Sends++ == 0)
        m_FirstMs = now;
    m_LastMs = now;
}

void SendRecord::DrainOwedAnswers(UpdateSession& session) const
{
    if (m_Sends < 2)
        return;
    IClock& clock = session.Clock();
    const std::uint64_t lateness = clock.NowMs() - m_FirstMs;
    const std::uint64_t until = m_LastMs + lateness + kWriteWindowMs;
    CHid& link = session.HidLink;
    std::uint8_t scratch[64];
    while (clock.NowMs() < until && !session.StopRequested()) {
        const std::uint32_t result = link.ReadHid(scratch, sizeof scratch);
        if (result != kReadOk && result != kReadTimeout)
            return;  // the next request finds the link as it is
    }
}
