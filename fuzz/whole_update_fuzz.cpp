// Fuzz target: whole updates against a controller whose answers the input
// scripts. The controller gets every report the host writes; the input only
// decides what becomes of its answers: on time, late, lost, twice, replaced
// by input bytes, or the controller leaves. Every update must end within the
// fault matrix's bound (sim/update_bound.h), show exactly one outcome (or,
// refused, say why), and succeed only when the controller holds the whole
// image and version word (stream: installed on END_UPDATE).
//
// Input: a configuration byte (bit 0 the family, bits 1-2 the block device
// type), then one byte per output report: bits 0-2 the action, bits 3-7 the
// delay in steps of 40 ms; a replacing action takes the next 64 bytes.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <mutex>

#include "base/little_endian.h"
#include "block/block_device_types.h"
#include "block/device_memory_map.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_entry.h"
#include "fuzz/fuzz_session.h"
#include "sim/sim_block_controller.h"
#include "sim/sim_stream_controller.h"
#include "sim/update_bound.h"

namespace {

constexpr std::uint32_t kBlockTypes[4] = {0x0042, 0x5111, 0x3009, 0x6007};
constexpr std::uint32_t kVersion = 0x0002008D;
constexpr std::uint32_t kDelayStepMs = 40;
constexpr std::uint64_t kBlocks = 3;
// The guard's stop, far beyond the bound: a run past the bound still ends.
constexpr std::uint64_t kLimitMs = 10 * 60 * 1000;

enum Action : std::uint8_t { Pass, Late, Drop, Twice, Replace, Unplug, Pass2, Pass3 };

class Script {
public:
    Script(const std::uint8_t* data, std::size_t size) : m_Data(data, data + size) {}
    bool Next(std::uint8_t& byte)
    {
        if (m_Pos >= m_Data.size())
            return false;
        byte = m_Data[m_Pos++];
        return true;
    }
    void Bytes(std::uint8_t* out, std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i)
            out[i] = m_Pos < m_Data.size() ? m_Data[m_Pos++] : 0;
    }

private:
    std::vector<std::uint8_t> m_Data;
    std::size_t m_Pos = 0;
};

class ScriptedPort final : public SimDevicePort {
public:
    ScriptedPort(SimDevicePort& outer, Action action, std::uint32_t delayMs, Script& script)
        : m_Outer(outer), m_Action(action), m_DelayMs(delayMs), m_Script(script)
    {
    }
    void SendInput(const std::uint8_t* payload64, std::uint32_t delayMs) override
    {
        std::array<std::uint8_t, 64> answer{};
        std::memcpy(answer.data(), payload64, answer.size());
        if (m_Action == Replace)
            m_Script.Bytes(answer.data(), answer.size());
        if (m_Action == Drop)
            return;
        const std::uint32_t delay = delayMs + (m_Action == Late ? m_DelayMs : 0);
        m_Outer.SendInput(answer.data(), delay);
        if (m_Action == Twice)
            m_Outer.SendInput(answer.data(), delay);
    }
    void Unplug() override { m_Outer.Unplug(); }
    std::uint64_t NowMs() override { return m_Outer.NowMs(); }

private:
    SimDevicePort& m_Outer;
    Action m_Action;
    std::uint32_t m_DelayMs;
    Script& m_Script;
};

class ScriptedModel final : public ISimDeviceModel {
public:
    ScriptedModel(std::shared_ptr<ISimDeviceModel> inner, Script& script)
        : m_Inner(std::move(inner)), m_Script(script)
    {
    }
    void Arm() { m_Armed = true; }
    // Since Arm: output reports, and the delay added to their answers.
    std::size_t Reports() const { return m_Reports; }
    std::uint64_t InjectedMs() const { return m_InjectedMs; }
    void OnOutputReport(const std::uint8_t* report65, SimDevicePort& port) override
    {
        std::uint8_t byte = Pass;
        if (m_Armed) {
            m_Script.Next(byte);
            ++m_Reports;
        }
        const auto action = static_cast<Action>(byte & 7u);
        const std::uint32_t delayMs = (byte >> 3) * kDelayStepMs;
        if (action == Late)
            m_InjectedMs += delayMs;
        ScriptedPort scripted(port, action, delayMs, m_Script);
        m_Inner->OnOutputReport(report65, scripted);
        if (action == Unplug)
            port.Unplug();
    }

private:
    std::shared_ptr<ISimDeviceModel> m_Inner;
    Script& m_Script;
    bool m_Armed = false;
    std::size_t m_Reports = 0;
    std::uint64_t m_InjectedMs = 0;
};

PackageRecordSpec Record(std::uint32_t deviceType, std::uint32_t address, std::size_t size)
{
    PackageRecordSpec record;
    record.header.desVersion = kVersion;
    record.header.deviceType = deviceType;
    record.header.imageAddress = address;
    record.image = MakeDemoImage(size, deviceType + 1);
    return record;
}

bool BlockHolds(const SimBlockController& device, std::uint32_t type, const PackageRecordSpec& record)
{
    const DeviceMemoryMap map = MemoryMapForType(type);
    std::vector<std::uint8_t> expected = record.image;
    const std::uint64_t slot = map.versionAddress - std::uint64_t{map.imageBase};
    if (map.versionAddress >= map.imageBase && slot + 4 <= expected.size())
        PutLe32(&expected[slot], kVersion);
    return device.Memory(map.imageBase, static_cast<std::uint32_t>(expected.size())) == expected &&
           device.Word(map.versionAddress) == kVersion;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    // An exact-size copy, so reading past the input is caught.
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[size]);
    std::memcpy(copy.get(), data, size);
    Script script(copy.get() + 1, size - 1);
    const bool block = (copy[0] & 1u) != 0;
    const std::uint32_t type = kBlockTypes[(copy[0] >> 1) & 3u];

    std::shared_ptr<SimStreamController> stream;
    std::shared_ptr<SimBlockController> device;
    std::shared_ptr<ScriptedModel> model;
    SimDeviceConfig config;
    PackageRecordSpec record;
    if (block) {
        SimBlockConfig blockConfig;
        blockConfig.deviceType = type;
        device = std::make_shared<SimBlockController>(blockConfig);
        model = std::make_shared<ScriptedModel>(device, script);
        config = MakeSimBlockDevice(device);
        record = Record(IsSpecialDeviceType(type) ? type : 0, MemoryMapForType(type).imageBase, kBlocks * 46);
    } else {
        stream = std::make_shared<SimStreamController>();
        model = std::make_shared<ScriptedModel>(stream, script);
        config = MakeSimStreamDevice(stream);
        record = Record(0, 0x08004000, 100);
    }
    config.model = model;
    static const std::u16string streamPath = FuzzPackage("stream", Record(0, 0x08004000, 100));
    static std::u16string blockPaths[4];
    const std::size_t slot = (copy[0] >> 1) & 3u;
    if (block && blockPaths[slot].empty())
        blockPaths[slot] = FuzzPackage("block" + std::to_string(slot), record);

    FuzzRig rig(config);
    rig.ui.packagePath = block ? blockPaths[slot] : streamPath;
    rig.session->HidLink.ProbeHid();
    rig.session->Attach();
    model->Arm();
    const std::uint64_t start = rig.clock.NowMs();
    rig.clock.Guard(rig.session.get(), start + kLimitMs);
    FUZZ_CHECK(rig.session->PrepareUpdate());
    const UpdateResult result = rig.session->RunUpdate();
    FUZZ_CHECK(!rig.clock.LimitHit());
    const std::uint64_t bound = block ? update_bound::BlockUpdateMs(type, kBlocks)
                                      : update_bound::StreamUpdateMs(model->Reports(), model->InjectedMs());
    FUZZ_CHECK(rig.clock.NowMs() - start <= bound);
    // One outcome shown, and the one the result names; quiet only when refused.
    if (result.outcome == UpdateOutcome::Quiet)
        FUZZ_CHECK(rig.ui.successes + rig.ui.failures == 0 && result.selection.refusal != SelectionRefusal::None);
    else
        FUZZ_CHECK(rig.ui.successes + rig.ui.failures == 1 &&
                   (result.outcome == UpdateOutcome::Succeeded) == (rig.ui.successes == 1));
    if (rig.ui.successes > 0) {
        if (block)
            FUZZ_CHECK(BlockHolds(*device, type, record) && device->Finished());
        else
            FUZZ_CHECK(stream->Installed() && stream->InstalledImage() == record.image &&
                       stream->VersionWord() == kVersion);
    }
    return 0;
}
