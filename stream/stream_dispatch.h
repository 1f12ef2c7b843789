#pragma once
// What the stream host does with each report the controller sends, shared
// by the version query and the update worker.
#include <cstdint>
#include <span>
#include <string>

// Reads one report into ReportIn and dispatches it; a read that brings none
// sends READ_FAILED. Returns ReadHid's result.
std::uint32_t StreamReadCycle();

// frame: ReportIn from byte 1 on; count: ReportIn byte 0 (not used).
void DispatchReport(std::int32_t transportHandle, std::uint8_t transportSelector,
                    std::span<const std::uint8_t> frame, std::uint8_t count);
// body: the frame from its body on (ReportIn from byte 5 on).
void HandleIdentity(std::span<const std::uint8_t> body);
void HandleCommandReport(std::int32_t transportHandle, std::uint8_t transportSelector,
                         std::span<const std::uint8_t> body);
// The update failed: package closed, StopFlag set, text 7 shown.
void FailTransfer();
// A SET_FIRMWARE_DATA request, answered by TransferState.
void AnswerFirmwareDataRequest(std::int32_t transportHandle, std::uint8_t transportSelector);
// A message box of the stream host (caption text 6, OK), unless the dialog
// is closing.
void ShowStreamMessage(const std::u16string& text);
