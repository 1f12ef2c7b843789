#pragma once
// The stream protocol's driver: the version query on attach, and the update
// worker that answers the controller's reports.
#include <cstdint>

#include "engine/protocol_driver.h"
#include "stream/stream_state.h"

class StreamDriver final : public ProtocolDriver {
public:
    // phase: how data requests are answered before the first update (the
    // fuzz targets start elsewhere).
    explicit StreamDriver(StreamPhase phase = StreamPhase::NoTransfer) : m_IdlePhase(phase)
    {
        m_State.phase = phase;
    }

    std::uint32_t Variant() const override;
    void Identify(UpdateSession& session) override;
    void EnterIdle() override;
    void PrepareUpdate() override;
    UpdateResult RunUpdate(UpdateSession& session) override;
    std::optional<std::uint32_t> RecordType(const DeviceDescription& device) const override;
    bool RecordFits(const DeviceDescription& device, const PackageHeader& header) const override;

    // One read and its dispatch, as the update worker runs them.
    std::uint32_t ReadCycle(UpdateSession& session);
    bool ReadLoopEnded() const { return m_State.readLoopEnded; }
    bool ImageSent() const { return m_State.imageSent; }

private:
    void RunReadCycles(UpdateSession& session);

    StreamState m_State;
    // The phase between updates, where each update starts.
    StreamPhase m_IdlePhase;
};
