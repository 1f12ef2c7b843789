// Whole updates of each controller family with one fault on each output
// report in turn, on the fake clock. Every run must end within a bound taken
// from the time-outs and retry counts, show at most one outcome, and claim
// success only when the controller holds what the package says. What the
// protocols themselves cannot detect is counted apart as protocol limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/little_endian.h"
#include "block/block_device_types.h"
#include "block/block_frame.h"
#include "block/device_memory_map.h"
#include "engine/update_session.h"
#include "package/package_writer.h"
#include "sim/fake_clock.h"
#include "sim/guard_clock.h"
#include "sim/sim_block_controller.h"
#include "sim/sim_stream_controller.h"
#include "sim/update_bound.h"
#include "sim/virtual_hid_bus.h"
#include "stream/stream_frame.h"
#include "support/fault_model.h"
#include "support/fixed_language.h"
#include "support/headless_view.h"
#include "support/test_paths.h"
#include "support/view_ui.h"
#include "text/text_table.h"
#include "protocols/standard_protocols.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::u16string kSuccess = u"\n Firmware upgraded! \n";
const std::u16string kFailurePrefix = u"Firmware update failure";

using namespace update_bound;

enum class Family { Stream, Block };

struct Target {
    const char* name;
    Family family;
    std::uint32_t deviceType;  // block only
    bool secondUpdate;         // stream: a clean update first, in the same session
};

enum class Kind { TrueSuccess, HonestFailure, FalseSuccess, Silent, Both };

struct RunResult {
    std::string fault;
    std::size_t report = 0;
    std::string label;
    Kind kind = Kind::Silent;
    bool bounded = true;
    std::uint64_t elapsedMs = 0;
    std::uint64_t boundMs = 0;
    const char* limit = nullptr;  // a false success the protocol cannot detect
};

struct Package {
    std::u16string path;
    Bytes image;
    std::uint32_t version = 0;
};

// One controller on its own bus and clock, with the session attached to it.
class Rig {
public:
    explicit Rig(const Target& target) : m_Target(target)
    {
        SimDeviceConfig config;
        if (target.family == Family::Stream) {
            m_Stream = std::make_shared<SimStreamController>();
            config = MakeSimStreamDevice(m_Stream);
            faults = std::make_shared<FaultModel>(m_Stream);
        } else {
            SimBlockConfig block;
            block.deviceType = target.deviceType;
            m_Block = std::make_shared<SimBlockController>(block);
            config = MakeSimBlockDevice(m_Block);
            faults = std::make_shared<FaultModel>(m_Block);
        }
        config.model = faults;
        m_Bus.Plug(config);
        session = std::make_unique<UpdateSession>(m_Bus, m_Clock, m_Ui, StandardProtocolDrivers());
        session->HidLink.ProbeHid();
        session->Attach();
    }
    // One whole update as the user starts it; the time it took.
    std::uint64_t Update(const Package& package, std::uint64_t limitMs)
    {
        m_View.QueueFile(package.path);
        m_View.QueueMessageAnswer(kIdOk);
        m_FirstMessage = m_View.Messages().size();
        const std::uint64_t start = m_Fake.NowMs();
        m_Clock.Guard(session.get(), start + limitMs);
        if (session->PrepareUpdate())
            session->RunUpdate();
        m_Clock.Guard(nullptr, 0);
        return m_Fake.NowMs() - start;
    }
    // What the last update showed after the confirmation.
    std::vector<std::u16string> Outcome() const
    {
        const auto messages = m_View.Messages();
        std::vector<std::u16string> texts;
        for (std::size_t i = m_FirstMessage; i < messages.size(); ++i)
            if (messages[i].buttons == MessageButtons::Ok)
                texts.push_back(messages[i].text);
        return texts;
    }
    bool Holds(const Package& package) const
    {
        if (m_Stream)
            return m_Stream->Installed() && m_Stream->InstalledImage() == package.image &&
                   m_Stream->VersionWord() == package.version;
        const DeviceMemoryMap map = MemoryMapForType(m_Target.deviceType);
        Bytes expected = package.image;
        const std::uint64_t slot = map.versionAddress - std::uint64_t{map.imageBase};
        if (map.versionAddress >= map.imageBase && slot + 4 <= expected.size())
            PutLe32(&expected[slot], package.version);
        const auto size = static_cast<std::uint32_t>(expected.size());
        return m_Block->Memory(map.imageBase, size) == expected &&
               m_Block->Word(map.versionAddress) == package.version;
    }
    bool Finished() const { return !m_Block || m_Block->Finished(); }
    // Stream: every image byte arrived, whether or not END_UPDATE did.
    bool ReceivedWholeImage(const Package& package) const
    {
        if (!m_Stream)
            return false;
        const Bytes received = m_Stream->ReceivedBytes();
        return received.size() >= package.image.size() &&
               std::equal(package.image.begin(), package.image.end(), received.begin());
    }

private:
    const Target& m_Target;
    FakeClock m_Fake;
    GuardClock m_Clock{m_Fake};
    VirtualHidBus m_Bus{m_Clock};
    HeadlessView m_View;
    ViewUi m_Ui{m_View};
    std::shared_ptr<SimStreamController> m_Stream;
    std::shared_ptr<SimBlockController> m_Block;
    std::size_t m_FirstMessage = 0;

public:
    // After the bus: the session closes its link before the bus goes.
    std::shared_ptr<FaultModel> faults;
    std::unique_ptr<UpdateSession> session;
};

std::string Label(const Target& target, const std::array<std::uint8_t, 65>& report)
{
    using namespace stream_frame;
    if (target.family == Family::Block) {
        switch (static_cast<BlockCommand>(ParseBlockFrame(report.data() + 1).command)) {
        case BlockCommand::Erase: return "erase";
        case BlockCommand::WriteImage: return "block";
        case BlockCommand::WriteMemory: return "version";
        case BlockCommand::Finish: return "finish";
        default: return "other";
        }
    }
    const std::uint8_t* frame = report.data() + 1 + kReportFrame;
    if (frame[kType] == UPDATE_START)
        return "update_start";
    if (frame[kType] != COMMAND_FRAME)
        return "other";
    switch (frame[kCommand]) {
    case IMAGE_DATA: return "chunk";
    case START_UPDATE: return "start";
    case END_UPDATE: return "end";
    default: return "other";
    }
}

Package WritePackage(const Target& target, std::uint32_t version, std::uint32_t seed)
{
    PackageRecordSpec record;
    record.header.desVersion = version;
    if (target.family == Family::Stream) {
        record.header.imageAddress = 0x08004000;
        record.image = MakeDemoImage(100, seed);  // three chunks and a bare one
    } else {
        const DeviceMemoryMap map = MemoryMapForType(target.deviceType);
        record.header.deviceType = IsSpecialDeviceType(target.deviceType) ? target.deviceType : 0;
        record.header.imageAddress = map.imageBase;
        record.image = MakeDemoImage(3 * 46, seed);  // three blocks
    }
    Package package{TestFilePath(std::string("_") + std::to_string(seed)), record.image, version};
    EXPECT_TRUE(WritePackageFile(package.path, std::vector<PackageRecordSpec>{record}));
    return package;
}

// The longest a whole update may take with the faults of one run.
std::uint64_t Bound(const Target& target, std::size_t reports, std::uint64_t injectedMs)
{
    return target.family == Family::Stream ? StreamUpdateMs(reports, injectedMs)
                                           : BlockUpdateMs(target.deviceType, 3);  // three blocks
}

// The false successes excused as protocol limits, in the order they run.
const std::vector<std::string> kExcusedRuns = {
    "stream miss_and_repeat at report 2 (chunk)",
    "stream miss_and_repeat at report 3 (chunk)",
    "stream miss_and_repeat at report 4 (chunk)",
    "stream miss_and_repeat at report 5 (chunk)",
    "stream miss_and_repeat at report 6 (end)",
    "stream stale_copy at report 4 (chunk)",
    "stream stale_copy at report 5 (chunk)",
    "stream, second update miss_and_repeat at report 2 (chunk)",
    "stream, second update miss_and_repeat at report 3 (chunk)",
    "stream, second update miss_and_repeat at report 4 (chunk)",
    "stream, second update miss_and_repeat at report 5 (chunk)",
    "stream, second update miss_and_repeat at report 6 (end)",
    "stream, second update stale_copy at report 4 (chunk)",
    "stream, second update stale_copy at report 5 (chunk)",
    "block default miss_and_repeat at report 2 (block)",
    "block default miss_and_repeat at report 3 (block)",
    "block default miss_and_repeat at report 5 (finish)",
    "block default stale_copy at report 4 (version)",
    "block 0x5111 miss_and_repeat at report 2 (block)",
    "block 0x5111 miss_and_repeat at report 3 (block)",
    "block 0x5111 miss_and_repeat at report 6 (finish)",
    "block 0x5111 stale_copy at report 5 (version)",
    "block 0x3009 miss_and_repeat at report 2 (block)",
    "block 0x3009 miss_and_repeat at report 3 (block)",
    "block 0x3009 miss_and_repeat at report 5 (finish)",
    "block 0x3009 stale_copy at report 4 (version)",
};

struct Facts {
    bool holds = false;       // the controller holds the package
    bool finished = false;    // block: Finish arrived
    bool wholeImage = false;  // stream: every image byte arrived
};

// A false success the protocol cannot tell from a true one, or null.
const char* ProtocolLimit(const Target& target, const RunResult& run, const std::vector<std::string>& labels,
                          const Facts& facts)
{
    if (target.family == Family::Stream) {
        // A repeated request, or the stale copy of one, reads as the request
        // for the chunk after the one the controller lacks.
        if ((run.fault == "miss_and_repeat" && run.label == "chunk") || run.fault == "stale_copy")
            return "stream: a missed chunk asked for again gets the next chunk (requests carry no offset)";
        if (facts.wholeImage)
            return "stream: END_UPDATE is never acknowledged";
        return nullptr;
    }
    if (facts.holds && !facts.finished)
        return "block: Finish is never acknowledged";
    if (run.fault == "miss_and_repeat" && run.report > 0 && labels[run.report - 1] == run.label)
        return "block: a repeated acknowledgement passes for the next request (answers echo no address)";
    return nullptr;
}

RunResult Classify(Rig& rig, const Package& package, RunResult run)
{
    const auto texts = rig.Outcome();
    bool success = false;
    bool failure = false;
    for (const auto& text : texts) {
        success |= text == kSuccess;
        failure |= text.rfind(kFailurePrefix, 0) == 0;
    }
    run.bounded = run.elapsedMs <= run.boundMs;
    if (success && failure)
        run.kind = Kind::Both;
    else if (success)
        run.kind = rig.Holds(package) && rig.Finished() ? Kind::TrueSuccess : Kind::FalseSuccess;
    else
        run.kind = failure ? Kind::HonestFailure : Kind::Silent;
    return run;
}

struct Scenario {
    std::string fault;
    std::function<void(FaultModel&, std::size_t)> arm;
    std::uint64_t injectedMs;
};

std::vector<Scenario> Scenarios(const Target& target)
{
    std::vector<Scenario> list = {
        {"unplug", [](FaultModel& f, std::size_t k) { f.SetFault(k, {ReportFault::Unplug}); }, 0},
        {"no_answer", [](FaultModel& f, std::size_t k) { f.SetFault(k, {ReportFault::NoAnswer}); }, 0},
        {"twice", [](FaultModel& f, std::size_t k) { f.SetFault(k, {ReportFault::Twice}); }, 0},
        {"miss_and_repeat", [](FaultModel& f, std::size_t k) { f.SetFault(k, {ReportFault::MissAndRepeat}); },
         0},
    };
    // Two faults that only together could make an answer pass for a request
    // the controller never got: a stale copy, and an answer still owed to a
    // re-send, each followed by requests that are lost.
    list.push_back({"stale_copy",
                    [](FaultModel& f, std::size_t k) {
                        f.SetFault(k, {ReportFault::Twice});
                        for (std::size_t i = 1; i <= kBlockTries; ++i)
                            f.SetFault(k + i, {ReportFault::Lost});
                    },
                    0});
    list.push_back({"owed_answer",
                    [](FaultModel& f, std::size_t k) {
                        f.SetFault(k, {ReportFault::Late, static_cast<std::uint32_t>(kWriteWindowMs + 50)});
                        f.SetFault(k + 1, {ReportFault::Late, static_cast<std::uint32_t>(kWriteWindowMs + 100)});
                        for (std::size_t i = 2; i <= kBlockTries + 1; ++i)
                            f.SetFault(k + i, {ReportFault::Lost});
                    },
                    2 * kWriteWindowMs + 150});
    // Each time-out and poll window of the family, just under and just over.
    const std::vector<std::uint64_t> windows =
        target.family == Family::Stream
            ? std::vector<std::uint64_t>{kPollMs, kStreamSilenceMs}
            : std::vector<std::uint64_t>{kPollMs,         200,           500,           kWriteWindowMs,
                                         kEraseSettleMs + kPollMs, 2 * kWriteWindowMs, kEraseResendMs,
                                         kBlockTries * kWriteWindowMs, kErasePollMs};
    for (const std::uint64_t window : windows)
        for (const std::uint64_t delay : {window - 1, window + 1}) {
            const auto ms = static_cast<std::uint32_t>(delay);
            list.push_back({"late_" + std::to_string(delay),
                            [ms](FaultModel& f, std::size_t k) { f.SetFault(k, {ReportFault::Late, ms}); },
                            delay});
        }
    return list;
}

struct Tally {
    int runs = 0, bounded = 0, trueSuccess = 0, honestFailure = 0, falseSuccess = 0, silent = 0, both = 0,
        limit = 0;
    void Add(const RunResult& run)
    {
        ++runs;
        bounded += run.bounded;
        trueSuccess += run.kind == Kind::TrueSuccess;
        honestFailure += run.kind == Kind::HonestFailure;
        falseSuccess += run.kind == Kind::FalseSuccess && !run.limit;
        silent += run.kind == Kind::Silent;
        both += run.kind == Kind::Both;
        limit += run.limit != nullptr;
    }
};

class FaultMatrix : public ::testing::Test {
protected:
    void SetUp() override { SetUiLanguage(&language); }
    void TearDown() override { SetUiLanguage(nullptr); }

    // One update with the faults armed after the attach (and after a clean
    // first update when the target asks for one).
    RunResult RunOnce(const Target& target, const std::vector<std::string>& labels, const Scenario* scenario,
                std::size_t k, bool everyTwice)
    {
        Rig rig(target);
        if (target.secondUpdate)
            rig.Update(first, Bound(target, labels.size(), 0));
        rig.faults->Arm();
        if (scenario)
            scenario->arm(*rig.faults, k);
        rig.faults->SetEveryAnswerTwice(everyTwice);
        const Package& package = target.secondUpdate ? second : first;
        RunResult run;
        run.fault = scenario ? scenario->fault : "every_answer_twice";
        run.report = k;
        run.label = scenario && k < labels.size() ? labels[k] : "all";
        run.boundMs = Bound(target, labels.size(), scenario ? scenario->injectedMs : 0);
        run.elapsedMs = rig.Update(package, run.boundMs);
        run = Classify(rig, package, run);
        if (run.kind == Kind::FalseSuccess)
            run.limit = ProtocolLimit(target, run, labels,
                                      {rig.Holds(package), rig.Finished(), rig.ReceivedWholeImage(package)});
        const auto reports = rig.faults->Reports();
        bool chunkSent = false;
        for (const auto& report : reports) {
            const std::string label = Label(target, report);
            chunkSent |= label == "chunk";
            if (label == "end" && !chunkSent)
                ++endWithoutImage;
        }
        if (target.family == Family::Stream && !chunkSent && run.kind != Kind::HonestFailure &&
            run.kind != Kind::Silent)
            ++successWithoutImage;
        return run;
    }

    FixedLanguage language{kLangEnUs};
    Package first;
    Package second;
    int endWithoutImage = 0;
    int successWithoutImage = 0;
};

TEST_F(FaultMatrix, EveryReportOfAWholeUpdate)
{
    const std::vector<Target> targets = {
        {"stream", Family::Stream, 0, false},
        {"stream, second update", Family::Stream, 0, true},
        {"block default", Family::Block, 0x0042, false},
        {"block 0x5111", Family::Block, 0x5111, false},
        {"block 0x3009", Family::Block, 0x3009, false},
    };
    std::map<std::string, Tally> table;
    std::vector<std::string> order;
    std::map<std::string, int> limits;
    std::vector<std::string> faults;
    std::vector<std::string> silent;
    std::vector<std::string> excused;
    std::uint32_t seed = 1;
    for (const Target& target : targets) {
        first = WritePackage(target, 150, seed++);
        second = WritePackage(target, 151, seed++);
        // The clean run names the reports.
        std::vector<std::string> labels;
        {
            Rig rig(target);
            if (target.secondUpdate)
                rig.Update(first, Bound(target, 0, 0));
            rig.faults->Arm();
            const Package& package = target.secondUpdate ? second : first;
            rig.Update(package, Bound(target, 0, 0));
            ASSERT_EQ(rig.Outcome(), std::vector<std::u16string>{kSuccess}) << target.name;
            ASSERT_TRUE(rig.Holds(package)) << target.name;
            for (const auto& report : rig.faults->Reports())
                labels.push_back(Label(target, report));
        }
        std::vector<RunResult> runs;
        for (const Scenario& scenario : Scenarios(target))
            for (std::size_t k = 0; k < labels.size(); ++k)
                runs.push_back(RunOnce(target, labels, &scenario, k, false));
        runs.push_back(RunOnce(target, labels, nullptr, 0, true));
        for (const RunResult& run : runs) {
            const std::string row = std::string(target.name) + " | " +
                                    (run.fault.rfind("late_", 0) == 0 ? "late" : run.fault);
            if (!table.count(row))
                order.push_back(row);
            table[row].Add(run);
            const std::string name = std::string(target.name) + " " + run.fault + " at report " +
                                     std::to_string(run.report) + " (" + run.label + ")";
            if (run.limit) {
                ++limits[run.limit];
                excused.push_back(name);
            }
            if (run.kind == Kind::Silent)
                silent.push_back(name);
            if (!run.bounded || run.kind == Kind::Both || (run.kind == Kind::FalseSuccess && !run.limit))
                faults.push_back(name + ": " +
                                 (run.bounded ? "" : "unbounded ") + std::to_string(run.elapsedMs) + "/" +
                                 std::to_string(run.boundMs) + " ms" +
                                 (run.kind == Kind::Both ? ", both texts" : "") +
                                 (run.kind == Kind::FalseSuccess ? ", false success" : ""));
        }
    }

    std::printf("%-46s %5s %7s %7s %7s %6s %6s %6s\n", "family | fault", "runs", "bounded", "success",
                "failure", "false", "silent", "limit");
    for (const std::string& row : order) {
        const Tally& t = table[row];
        std::printf("%-46s %5d %7d %7d %7d %6d %6d %6d\n", row.c_str(), t.runs, t.bounded, t.trueSuccess,
                    t.honestFailure, t.falseSuccess, t.silent, t.limit);
    }
    std::printf("\nprotocol limits (false successes the protocol cannot detect):\n");
    for (const auto& [limit, count] : limits)
        std::printf("  %3d  %s\n", count, limit.c_str());
    std::printf("\nexcused runs:\n");
    for (const std::string& run : excused)
        std::printf("  %s\n", run.c_str());
    std::printf("\nsilent runs (no outcome shown):\n");
    for (const std::string& run : silent)
        std::printf("  %s\n", run.c_str());
    std::printf("\nstream END_UPDATE sent with no chunk of this update: %d runs, success shown in %d\n",
                endWithoutImage, successWithoutImage);
    for (const std::string& fault : faults)
        ADD_FAILURE() << fault;
    EXPECT_EQ(successWithoutImage, 0);
    // Every update the user started ends with something shown.
    EXPECT_TRUE(silent.empty());
    // What the protocols let pass, pinned run by run: a change here changes
    // what the updater gets away with, and its commit says why.
    EXPECT_EQ(excused, kExcusedRuns);
}

}  // namespace
