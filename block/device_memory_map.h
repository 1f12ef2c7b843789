#pragma once
// Device addresses an update of a block-protocol controller uses.
#include <cstdint>

struct DeviceMemoryMap {
    std::uint32_t imageBase = 0x08014000;       // image offset 0 is written here
    std::uint32_t versionAddress = 0x08014034;  // the stored FirmwareVersionWord
};
