#pragma once
// Block-protocol device types with special handling: CRC on write frames,
// their own memory map, erase in whole 32 KiB units, record chosen by type.
#include <cstdint>

inline constexpr std::uint32_t SpecialDeviceTypes[] = {0x3010, 0x3011, 0x5111, 0x5112, 0x6006, 0x6007};

constexpr bool IsSpecialDeviceType(std::uint32_t type)
{
    for (std::uint32_t special : SpecialDeviceTypes)
        if (special == type)
            return true;
    return false;
}
