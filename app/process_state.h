#pragma once
// Process-wide values shared by the dialog, the protocols and the update
// worker. Atomic where the UI thread and a worker both touch them.
#include <atomic>
#include <cstdint>

class CUpdateDlg;
class CControl;

inline constexpr std::uint32_t VersionProbeSentinel = 0x5A5A5A5A;
inline constexpr std::uint32_t kNoFirmwareVersion = 0xFFFFFFFF;

inline std::atomic<CUpdateDlg*> ActiveDialog{nullptr};
inline std::atomic<CControl*> UpdateButton{nullptr};
inline std::atomic<CControl*> ProgressBar{nullptr};
inline std::atomic<CControl*> DoneLabel{nullptr};
inline std::atomic<CControl*> HintLabel{nullptr};

// Non-zero ends the stream worker's read loop.
inline std::atomic<std::uint32_t> StopFlag{0};
// Stream transfer state: 1 first chunk next, 2 further chunks, 3 image sent.
inline std::atomic<std::uint32_t> TransferState{0};
inline std::atomic<std::uint32_t> cur_devVersion{0};
// From the stream controller's identity; 1 and 200 can be updated.
inline std::atomic<std::uint32_t> firmwareType{0};

// Back to program-start values (tests run many dialogs in one process).
void ResetProcessState();
