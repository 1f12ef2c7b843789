#include "sim/sim_block_controller.h"
#include "base/little_endian.h"

#include <algorithm>
#include <cstring>

#include "block/block_device_types.h"
#include "block/device_memory_map.h"

namespace {

constexpr std::uint8_t kErased = 0xFF;
constexpr std::uint32_t kWordBytes = 4;

bool Contains(std::uint32_t base, std::size_t size, std::uint32_t address, std::uint32_t count)
{
    const std::uint64_t end = std::uint64_t{address} + count;
    return address >= base && end <= std::uint64_t{base} + size;
}

}  // namespace

std::vector<std::uint8_t> SimReceivedFrame::Data() const
{
    const std::uint8_t* data = BlockFrameData(bytes.data());
    return std::vector<std::uint8_t>(data, data + fields.length);
}

SimBlockController::SimBlockController(SimBlockConfig config) : m_Config(std::move(config))
{
    for (const SimMemoryRegion& region : m_Config.regions)
        m_Regions.push_back(Region{region.base, std::vector<std::uint8_t>(region.size, kErased)});
    const std::uint32_t versionAddress = MemoryMapForType(m_Config.deviceType).versionAddress;
    if (Region* region = RegionFor(versionAddress, kWordBytes))
        PutLe32(&region->bytes[versionAddress - region->base], m_Config.versionWord);
}

void SimBlockController::OnOutputReport(const std::uint8_t* report65, SimDevicePort& port)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    SimReceivedFrame frame;
    std::memcpy(frame.bytes.data(), report65 + 1, kBlockFrameBytes);
    frame.fields = ParseBlockFrame(frame.bytes.data());
    m_Frames.push_back(frame);
    if (!HasBlockMarker(frame.bytes.data()))
        return;
    std::array<std::uint8_t, kBlockFrameBytes> answer{};
    if (!HandleLocked(frame, port, answer))
        return;
    const int copies = m_Config.faults.repeatAnswers ? 2 : 1;
    for (int i = 0; i < copies; ++i)
        port.SendInput(answer.data(), m_Config.faults.answerDelayMs);
}

bool SimBlockController::HandleLocked(const SimReceivedFrame& frame, SimDevicePort& port,
                                      std::array<std::uint8_t, kBlockFrameBytes>& answer)
{
    const BlockFrameFields& f = frame.fields;
    const SimBlockFaults& faults = m_Config.faults;
    std::uint8_t data[kBlockMaxData] = {};
    bool acknowledged = false;
    switch (static_cast<BlockCommand>(f.command)) {
    case BlockCommand::ReadInfo:
        PutLe32(data, m_Config.deviceType);
        acknowledged = !faults.ignoreReadInfo;
        break;
    case BlockCommand::ReadMemory:
        for (std::uint32_t i = 0; i < f.length; ++i)
            data[i] = ByteAtLocked(f.address + i);
        acknowledged = !faults.ignoreReadMemory;
        break;
    case BlockCommand::Erase:
        acknowledged = HandleEraseLocked(f);
        break;
    case BlockCommand::WriteImage:
        acknowledged = HandleWriteImageLocked(frame, port);
        break;
    case BlockCommand::WriteMemory:
        acknowledged = HandleWriteMemoryLocked(frame);
        break;
    case BlockCommand::Finish:
        ++m_FinishCount;
        acknowledged = !faults.ignoreFinish;
        break;
    }
    answer = MakeBlockAck(f.command, data, f.length);
    return acknowledged;
}

bool SimBlockController::HandleEraseLocked(const BlockFrameFields& f)
{
    m_Erases.push_back({f.address, f.size});
    if (m_Config.faults.ignoreErase)
        return false;
    Region* region = RegionFor(f.address, f.size);
    if (!region)
        return false;
    auto first = region->bytes.begin() + (f.address - region->base);
    std::fill(first, first + f.size, kErased);
    return true;
}

bool SimBlockController::HandleWriteImageLocked(const SimReceivedFrame& frame, SimDevicePort& port)
{
    const SimBlockFaults& faults = m_Config.faults;
    const std::uint32_t number = m_WriteImageFrames++;
    if (faults.unplugAtWrite && *faults.unplugAtWrite == number) {
        port.Unplug();
        return false;
    }
    const bool dropped =
        number >= faults.dropWritesFrom && number - faults.dropWritesFrom < faults.dropWriteCount;
    if (dropped && !faults.dropStoresData)
        return false;
    const bool stored = ProgramLocked(frame, true);
    const BlockFrameFields& f = frame.fields;
    if (stored && faults.corruptByteAt && *faults.corruptByteAt >= f.address &&
        *faults.corruptByteAt - f.address < f.length) {
        Region* region = RegionFor(*faults.corruptByteAt, 1);
        region->bytes[*faults.corruptByteAt - region->base] ^= 0xFF;
    }
    return stored && !dropped;
}

bool SimBlockController::HandleWriteMemoryLocked(const SimReceivedFrame& frame)
{
    if (m_Config.faults.ignoreVersionWrite)
        return false;
    return ProgramLocked(frame, IsSpecialDeviceType(m_Config.deviceType));
}

bool SimBlockController::ProgramLocked(const SimReceivedFrame& frame, bool asFlash)
{
    const BlockFrameFields& f = frame.fields;
    const std::uint8_t* data = BlockFrameData(frame.bytes.data());
    const bool special = IsSpecialDeviceType(m_Config.deviceType);
    Region* region = RegionFor(f.address, f.length);
    bool accepted = region != nullptr;
    if (accepted && special)
        accepted = f.crc == BlockCrc16(data, f.length);
    std::uint8_t* target = accepted ? &region->bytes[f.address - region->base] : nullptr;
    for (std::uint32_t i = 0; accepted && asFlash && i < f.length; ++i)
        accepted = target[i] == kErased || target[i] == data[i];
    if (!accepted) {
        ++m_RefusedWrites;
        return false;
    }
    std::memcpy(target, data, f.length);
    return true;
}

SimBlockController::Region* SimBlockController::RegionFor(std::uint32_t address, std::uint32_t count)
{
    for (Region& region : m_Regions)
        if (Contains(region.base, region.bytes.size(), address, count))
            return &region;
    return nullptr;
}

const SimBlockController::Region* SimBlockController::RegionFor(std::uint32_t address,
                                                                std::uint32_t count) const
{
    for (const Region& region : m_Regions)
        if (Contains(region.base, region.bytes.size(), address, count))
            return &region;
    return nullptr;
}

std::uint8_t SimBlockController::ByteAtLocked(std::uint32_t address) const
{
    const Region* region = RegionFor(address, 1);
    return region ? region->bytes[address - region->base] : kErased;
}

void SimBlockController::SetFaults(const SimBlockFaults& faults)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Config.faults = faults;
}

std::uint32_t SimBlockController::DeviceType() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Config.deviceType;
}

std::vector<std::uint8_t> SimBlockController::Memory(std::uint32_t address, std::uint32_t count) const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    std::vector<std::uint8_t> bytes(count);
    for (std::uint32_t i = 0; i < count; ++i)
        bytes[i] = ByteAtLocked(address + i);
    return bytes;
}

std::uint32_t SimBlockController::Word(std::uint32_t address) const
{
    const std::vector<std::uint8_t> bytes = Memory(address, kWordBytes);
    return GetLe32(bytes.data());
}

std::vector<SimEraseRequest> SimBlockController::EraseRequests() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Erases;
}

std::vector<SimReceivedFrame> SimBlockController::Frames() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Frames;
}

std::vector<SimReceivedFrame> SimBlockController::FramesOf(BlockCommand command) const
{
    std::vector<SimReceivedFrame> frames = Frames();
    std::erase_if(frames, [&](const SimReceivedFrame& f) { return f.fields.command != BlockCode(command); });
    return frames;
}

int SimBlockController::RefusedWrites() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_RefusedWrites;
}

bool SimBlockController::Finished() const { return FinishCount() > 0; }

int SimBlockController::FinishCount() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_FinishCount;
}

SimDeviceConfig MakeSimBlockDevice(std::shared_ptr<SimBlockController> model)
{
    return SimDeviceConfig{
        u"\\\\?\\hid#vid_5a3c&pid_4c21#7&1f0c2a8d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}",
        kSimBlockVendorId, kSimBlockProductId, std::move(model)};
}
