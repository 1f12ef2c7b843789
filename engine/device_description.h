#pragma once
// What the engine has learnt about the attached controller.
#include <cstdint>

#include "block/device_memory_map.h"

// The version word before any answer, and the word of a controller without
// firmware.
inline constexpr std::uint32_t VersionProbeSentinel = 0x5A5A5A5A;
inline constexpr std::uint32_t kNoFirmwareVersion = 0xFFFFFFFF;

struct DeviceDescription {
    // Stream controllers: from the identity report.
    std::uint8_t deviceSubModel = 0;
    std::uint16_t deviceModel = 0;
    std::uint32_t firmwareType = 0;  // 1 and 200 can be updated
    // Block controllers: from the device information.
    std::uint32_t currentDeviceType = 0;
    DeviceMemoryMap memoryMap;
    // Both: the running firmware's version word.
    std::uint32_t cur_devVersion = 0;
};
