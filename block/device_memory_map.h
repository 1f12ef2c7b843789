#pragma once
// The memory maps of the block-protocol device types.
#include <cstdint>

#include "block/block_device_types.h"
#include "engine/device_description.h"

inline constexpr std::uint32_t kDeviceType3009 = 0x3009;
inline constexpr DeviceMemoryMap kDefaultMemoryMap{0x08014000, 0x08014034};
inline constexpr DeviceMemoryMap kMemoryMap3009{0x08003400, 0x08003434};
inline constexpr DeviceMemoryMap kSpecialMemoryMap{0x01018000, 0x01017040};

// The map for a device whose type was read; a device whose type cannot be
// read gets kDefaultMemoryMap.
constexpr DeviceMemoryMap MemoryMapForType(std::uint32_t deviceType)
{
    if (deviceType == kDeviceType3009)
        return kMemoryMap3009;
    if (IsSpecialDeviceType(deviceType))
        return kSpecialMemoryMap;
    return kDefaultMemoryMap;
}
