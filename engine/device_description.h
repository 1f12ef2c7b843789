#pragma once
// What the engine has learnt about the attached controller.
#include <cstdint>


// The version word before any answer, and the word of a controller without
// firmware.
inline constexpr std::uint32_t VersionProbeSentinel = 0x5A5A5A5A;
inline constexpr std::uint32_t kNoFirmwareVersion = 0xFFFFFFFF;

// Device addresses an update of a block-protocol controller uses (the
// block protocol's maps by type: block/device_memory_map.h).
struct DeviceMemoryMap {
    std::uint32_t imageBase = 0x08014000;       // image offset 0 is written here
    std::uint32_t versionAddress = 0x08014034;  // the stored FirmwareVersionWord

    bool operator==(const DeviceMemoryMap&) const = default;
};

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
