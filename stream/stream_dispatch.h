#pragma once
// What the stream host does with each report the controller sends, shared
// by the version query and the update worker.
#include <cstdint>
#include <span>
#include <string>

class UpdateSession;

// Reads one report into the link's ReportIn and dispatches it; a read that
// brings none sends READ_FAILED. Returns ReadHid's result.
std::uint32_t StreamReadCycle(UpdateSession& session);

// frame: ReportIn from byte 1 on; count: ReportIn byte 0 (not used).
void DispatchReport(UpdateSession& session, std::int32_t transportHandle,
                    std::uint8_t transportSelector, std::span<const std::uint8_t> frame,
                    std::uint8_t count);
// body: the frame from its body on (ReportIn from byte 5 on).
void HandleIdentity(UpdateSession& session, std::span<const std::uint8_t> body);
void HandleCommandReport(UpdateSession& session, std::int32_t transportHandle,
                         std::uint8_t transportSelector, std::span<const std::uint8_t> body);
// The update failed: package closed, StopFlag set, text 7 shown.
void FailTransfer(UpdateSession& session);
// A SET_FIRMWARE_DATA request, answered by TransferState.
void AnswerFirmwareDataRequest(UpdateSession& session, std::int32_t transportHandle,
                               std::uint8_t transportSelector);
// A message box of the stream host (OK), unless a stop was requested.
void ShowStreamMessage(UpdateSession& session, const std::u16string& text);
