// Block controller inputs: the host's side of whole updates for each memory
// map (with the CRC the special types need) and frames the controller must
// refuse: no marker, an overlong length, outside every region, a wrong CRC.
#include <algorithm>
#include <iterator>

#include "block/block_device_types.h"
#include "block/block_frame.h"
#include "block/device_memory_map.h"
#include "fuzz/seeds/report_list.h"
#include "fuzz/seeds/seeds.h"
#include "package/package_writer.h"

namespace {

class BlockReports : public ReportList {
public:
    BlockReports(std::uint8_t config, std::uint32_t deviceType)
        : ReportList(config), m_Crc(IsSpecialDeviceType(deviceType))
    {
    }

    void Send(BlockCommand command, const std::uint8_t* data, std::uint32_t n, std::uint32_t address,
              std::uint32_t size)
    {
        Add(BuildBlockFrame(data, n, address, size, BlockCode(command), 0, m_Crc).bytes);
    }
    void Request(BlockCommand command, std::uint32_t n, std::uint32_t address)
    {
        Send(command, nullptr, n, address, n);
    }

private:
    bool m_Crc;
};

std::uint8_t ConfigFor(std::uint32_t deviceType)
{
    for (std::uint8_t i = 0; i < std::size(kBlockFuzzDeviceTypes); ++i)
        if (kBlockFuzzDeviceTypes[i] == deviceType)
            return i;
    return 0;
}

// Type and version query, erase, the image in 46-byte frames, the version word, finish.
std::vector<std::uint8_t> Update(std::uint32_t deviceType, std::uint8_t faultBits)
{
    const DeviceMemoryMap map = MemoryMapForType(deviceType);
    const std::vector<std::uint8_t> image = MakeDemoImage(150, deviceType);
    const auto size = static_cast<std::uint32_t>(image.size());
    BlockReports reports(static_cast<std::uint8_t>(ConfigFor(deviceType) | faultBits), deviceType);
    reports.Request(BlockCommand::ReadInfo, 4, 0);
    reports.Request(BlockCommand::ReadMemory, 4, map.versionAddress);
    reports.Send(BlockCommand::Erase, nullptr, 0, map.imageBase, size);
    for (std::uint32_t at = 0; at < size; at += kBlockMaxData) {
        const std::uint32_t n = std::min(kBlockMaxData, size - at);
        reports.Send(BlockCommand::WriteImage, &image[at], n, map.imageBase + at, size);
    }
    if (IsSpecialDeviceType(deviceType))
        reports.Send(BlockCommand::Erase, nullptr, 0, map.versionAddress, 32);
    const std::uint8_t version[4] = {0x96, 0, 0, 0};
    reports.Send(BlockCommand::WriteMemory, version, 4, map.versionAddress, 4);
    reports.Request(BlockCommand::Finish, 0, 0);
    return reports.Bytes();
}

}  // namespace

std::vector<Seed> SimBlockSeeds()
{
    std::vector<Seed> seeds;
    seeds.push_back({"update_default", Update(0, 0)});
    seeds.push_back({"update_3009", Update(kDeviceType3009, 0)});
    seeds.push_back({"update_3010_repeated", Update(0x3010, 0x08)});
    seeds.push_back({"update_5111_delayed", Update(0x5111, 0x10)});
    seeds.push_back({"update_dropped_writes", Update(0, 4 << 5)});
    seeds.push_back({"update_unplugged", Update(0x6006, 6 << 5)});

    const std::uint8_t data[kBlockMaxData] = {1, 2, 3};
    BlockReports odd(ConfigFor(0x5111), 0x5111);
    odd.Add(std::vector<std::uint8_t>(kBlockFrameBytes, 0x5A));  // no marker
    const BlockFrame write = BuildBlockFrame(data, 8, 0x01018000, 8, BlockCode(BlockCommand::WriteImage), 0, true);
    BlockFrame overlong = write;
    overlong.bytes[BlockFrameOffset::Length] = 0xFF;
    overlong.bytes[BlockFrameOffset::Length + 1] = 0xFF;
    odd.Add(overlong.bytes);
    BlockFrame badCrc = write;
    badCrc.bytes[BlockFrameOffset::Crc] ^= 1;
    odd.Add(badCrc.bytes);
    odd.Send(BlockCommand::Erase, nullptr, 0, 0x0103FFF0, 0x20);   // across a region's end
    odd.Send(BlockCommand::WriteImage, data, 46, 0xFFFFFFF0, 46);  // address wraps
    odd.Request(BlockCommand::ReadMemory, 46, 0x0103FFF0);
    odd.Send(static_cast<BlockCommand>(0x99), data, 46, 0, 0);
    seeds.push_back({"odd_frames", odd.Bytes()});
    return seeds;
}
