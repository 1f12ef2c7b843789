#pragma once
// Input layout of the simulator targets: a configuration byte, then the
// output reports the host writes, 64 bytes each after report ID 0 (a short
// last report is padded with zeros).
#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kSimConfigBytes = 1;
inline constexpr std::size_t kSimReportPayloadBytes = 64;

// The block target's configuration byte picks the device type with its low
// three bits.
inline constexpr std::uint32_t kBlockFuzzDeviceTypes[8] = {0,      0x3009, 0x3010, 0x3011,
                                                           0x5111, 0x5112, 0x6006, 0x6007};
