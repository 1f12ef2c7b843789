// Fuzz target: arbitrary answers to each block request primitive and to the
// identification. Every step must end within the bound its polls and pauses
// allow, and a primitive may succeed only when an acknowledgement of its own
// command was among the answers.
//
// Input: a configuration byte (bits 0-2 the step, bits 3-4 the device type),
// then per output report a byte (bits 0-1 how many answers, bits 2-7 their
// delay in steps of 25 ms) and that many answers of 64 bytes.
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "block/block_device_types.h"
#include "block/block_frame.h"
#include "block/block_identify.h"
#include "block/block_primitives.h"
#include "block/device_memory_map.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_entry.h"
#include "fuzz/fuzz_session.h"
#include "sim/sim_block_controller.h"

namespace {

constexpr std::uint32_t kTypes[4] = {0x0042, 0x3009, 0x5111, 0x6007};
constexpr std::uint32_t kDelayStepMs = 25;
constexpr std::size_t kAnswerBytes = 64;
constexpr std::uint32_t kAttachReadMs = 200;
constexpr std::uint32_t kTransferReadMs = 10;

// Answers each request with what the input says, and keeps them.
class AnsweringModel final : public ISimDeviceModel {
public:
    AnsweringModel(const std::uint8_t* data, std::size_t size) : m_Data(data, data + size) {}
    void OnOutputReport(const std::uint8_t*, SimDevicePort& port) override
    {
        if (m_Pos >= m_Data.size())
            return;
        const std::uint8_t control = m_Data[m_Pos++];
        const std::uint32_t delay = (control >> 2) * kDelayStepMs;
        for (int i = 0; i < (control & 3) && m_Pos < m_Data.size(); ++i) {
            std::uint8_t answer[kAnswerBytes] = {};
            const std::size_t n = std::min(kAnswerBytes, m_Data.size() - m_Pos);
            std::memcpy(answer, m_Data.data() + m_Pos, n);
            m_Pos += n;
            port.SendInput(answer, delay);
            m_Answers.emplace_back(answer, answer + kAnswerBytes);
        }
    }
    bool Acknowledged(BlockCommand command) const
    {
        return std::any_of(m_Answers.begin(), m_Answers.end(), [&](const std::vector<std::uint8_t>& a) {
            return IsBlockAck(kReadOk, a.data(), BlockCode(command));
        });
    }

private:
    std::vector<std::uint8_t> m_Data;
    std::size_t m_Pos = 0;
    std::vector<std::vector<std::uint8_t>> m_Answers;
};

struct Step {
    BlockCommand command;
    std::uint64_t boundMs;  // from the step's polls, pauses and re-sends, with the drain
};

// Read: 5 polls of at most 200 ms. Erase with re-sends: 1000 + 3 x (10 + 200).
// Erase with polls: 1000 + 20 x (10 + 500).
// Write: 100 polls of 10 ms. Version word: an erase with polls and a write.
constexpr Step kSteps[8] = {
    {BlockCommand::ReadInfo, 1000},   {BlockCommand::ReadMemory, 1000},
    {BlockCommand::Erase, 1630}, {BlockCommand::Erase, 11200},
    {BlockCommand::WriteImage, 1000}, {BlockCommand::Finish, 10},
    {BlockCommand::WriteMemory, 11200 + 1000}, {BlockCommand::ReadInfo, 2 * 1000},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[size]);
    std::memcpy(copy.get(), data, size);
    const unsigned stepIndex = copy[0] & 7u;
    const std::uint32_t type = kTypes[(copy[0] >> 3) & 3u];
    auto model = std::make_shared<AnsweringModel>(copy.get() + 1, size - 1);
    SimDeviceConfig config = MakeSimBlockDevice(nullptr);
    config.model = model;
    FuzzRig rig(config);
    UpdateSession& session = *rig.session;
    session.HidLink.ProbeHid();
    if (!session.HidLink.OpenHid())
        return 0;
    session.device.currentDeviceType = type;
    session.device.memoryMap = MemoryMapForType(type);
    session.transfer.packageVersionWord = 0x0002008D;
    const std::uint32_t base = session.device.memoryMap.imageBase;
    std::uint8_t buffer[kBlockMaxData] = {};
    const Step& step = kSteps[stepIndex];
    // Reads wait as long as after attaching; the other primitives poll as
    // the update worker does.
    const bool reads = stepIndex <= 1 || stepIndex == 7;
    session.HidLink.SetReadTimeout(reads ? kAttachReadMs : kTransferReadMs);
    const std::uint64_t start = rig.clock.NowMs();
    int ok = 1;
    switch (stepIndex) {
    case 0: ok = BlockReadInfo(session, buffer, 4); break;
    case 1: ok = BlockReadMemory(session, buffer, 4, session.device.memoryMap.versionAddress); break;
    case 2: ok = BlockEraseResend(session, base, 46); break;
    case 3: ok = BlockErasePoll(session, base, 0x8000); break;
    case 4: ok = BlockWrite(session, buffer, base, kBlockMaxData, kBlockMaxData, true); break;
    case 5: ok = BlockFinish(session); break;
    case 6: ok = WriteVersionWord(session); break;
    default: IdentifyBlockDevice(session, session.device); break;
    }
    // The last poll or drain read may run one read time-out past the bound.
    FUZZ_CHECK(rig.clock.NowMs() - start <= step.boundMs + kAttachReadMs);
    if (ok && stepIndex != 7)
        FUZZ_CHECK(model->Acknowledged(step.command));
    return 0;
}
