#pragma once
// The stream host's state, private to StreamDriver: only stream/ reads or
// writes it. It lives as long as the session, across updates.
#include <cstdint>
#include <optional>

#include "engine/transfer_record.h"
#include "engine/update_result.h"

// How a SET_FIRMWARE_DATA request is answered.
enum class StreamPhase : std::uint8_t {
    NoTransfer = 0,  // not answered
    FirstChunk = 1,  // open the package, send the first chunk
    NextChunk = 2,   // send the next chunk
    ImageSent = 3,   // END_UPDATE (also between updates, see EnterIdle)
};

struct StreamState {
    // The update worker's read loop ends at its next turn.
    bool readLoopEnded = false;
    StreamPhase phase = StreamPhase::NoTransfer;
    // This update has sent the whole image (ImageSent alone also holds
    // outside any update).
    bool imageSent = false;
    // The package this update's user chose and confirmed, once they have.
    std::optional<TransferPlan> confirmedPlan;
    // What this update has shown.
    UpdateOutcome outcome = UpdateOutcome::Quiet;
    TextId failureText = TextId::Failure;
    // The controller itself said the update failed (rather than falling silent).
    bool controllerReported = false;
};
