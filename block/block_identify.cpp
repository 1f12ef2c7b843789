#include "block/block_identify.h"

#include "base/little_endian.h"
#include "block/block_primitives.h"
#include "block/device_memory_map.h"
#include "engine/update_session.h"
#include "text/firmware_version.h"
#include "text/text_table.h"
#include "text/wformat.h"

namespace {

constexpr std::uint32_t kWordBytes = 4;

void ChooseMemoryMap(UpdateSession& session, DeviceDescription& device)
{
    device.memoryMap = kDefaultMemoryMap;  // nothing of an earlier device survives
    std::uint8_t info[kWordBytes];
    if (!BlockReadInfo(session, info, kWordBytes))
        return;  // the type keeps its earlier value
    device.currentDeviceType = GetLe32(info);
    device.memoryMap = MemoryMapForType(device.currentDeviceType);
}

}  // namespace

std::u16string BlockVersionTitle(std::uint32_t version)
{
    return FirmwareVersionWord(version).TitleText(LoadText(TextId::Title));
}

DeviceDescription IdentifyBlockDevice(UpdateSession& session, DeviceDescription device)
{
    ChooseMemoryMap(session, device);
    std::uint8_t word[kWordBytes];
    if (!BlockReadMemory(session, word, kWordBytes, device.memoryMap.versionAddress))
        return device;
    const std::uint32_t version = GetLe32(word);
    device.cur_devVersion = version;
    if (version == kNoFirmwareVersion)
        session.ShowMessage(WFormat(u"%s", LoadText(TextId::Instructions)));
    else
        session.Ui().SetTitle(BlockVersionTitle(version));
    return device;
}
