#pragma once
// What the stream host does with each report the controller sends, shared
// by the version query and the update worker.
#include <cstdint>
#include <span>
#include <string>

#include "stream/stream_state.h"

class UpdateSession;

// Reads one report into the link's ReportIn and dispatches it; a read that
// brings none sends READ_FAILED. Returns ReadHid's result.
std::uint32_t StreamReadCycle(UpdateSession& session, StreamState& state);

// frame: ReportIn from byte 1 on (byte 0 is the count).
void DispatchReport(UpdateSession& session, StreamState& state, std::int32_t transportHandle,
                    std::uint8_t transportSelector, std::span<const std::uint8_t> frame);
// body: the frame from its body on (ReportIn from byte 5 on).
void HandleIdentity(UpdateSession& session, std::span<const std::uint8_t> body);
void HandleCommandReport(UpdateSession& session, StreamState& state, std::int32_t transportHandle,
                         std::uint8_t transportSelector, std::span<const std::uint8_t> body);
// The package is closed and the read loop ends.
void StopTransfer(UpdateSession& session, StreamState& state);
// The update failed: the transfer stopped, TextId::Failure shown.
void FailTransfer(UpdateSession& session, StreamState& state);
// Shows TextId::Failure (unless a stop was requested) as this update's outcome.
void ReportFailure(UpdateSession& session, StreamState& state);
// A SET_FIRMWARE_DATA request, answered by the phase.
void AnswerFirmwareDataRequest(UpdateSession& session, StreamState& state,
                               std::int32_t transportHandle, std::uint8_t transportSelector);
// The confirmed plan as the transfer: phase FirstChunk, then START_UPDATE.
void StartStreamTransfer(UpdateSession& session, StreamState& state, const TransferPlan& plan,
                         std::int32_t transportHandle, std::uint8_t transportSelector);
// A message box of the stream host (OK), unless a stop was requested.
void ShowStreamMessage(UpdateSession& session, const std::u16string& text);
