#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "text/text_table.h"
#include "base/little_endian.h"
#include "block/block_frame.h"
#include "block/device_memory_map.h"
#include "block_test_helpers.h"
#include "package/package_writer.h"
#include "support/dialog_fixture.h"
#include "support/fault_model.h"
#include "protocols/standard_protocols.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::u16string kSuccess = u"\n Firmware upgraded! \n";
const std::u16string kFailure = u"Firmware update failure\n";
constexpr std::uint32_t kNewVersion = 0x0002008D;  // 1.41 beta 2

PackageRecordSpec Record(std::uint32_t deviceType, std::uint32_t imageAddress, std::size_t size,
                         std::uint32_t seed)
{
    PackageRecordSpec entry;
    entry.header.desVersion = kNewVersion;
    entry.header.imageAddress = imageAddress;
    entry.header.deviceType = deviceType;
    entry.image = MakeDemoImage(size, seed);
    return entry;
}

// What the device should hold at imageBase after the update: the image, with
// the version word written over it where the map puts the word inside it.
Bytes Installed(const Bytes& image, const DeviceMemoryMap& map, std::uint32_t version)
{
    Bytes expected = image;
    const std::uint64_t slot = map.versionAddress - std::uint64_t{map.imageBase};
    if (map.versionAddress >= map.imageBase && slot + 4 <= image.size())
        PutLe32(&expected[slot], version);
    return expected;
}

class BlockWorkerTest : public DialogFixture {
protected:
    void Plug(SimBlockConfig config = {})
    {
        device = std::make_shared<SimBlockController>(config);
        deviceId = bus.Plug(MakeSimBlockDevice(device));
    }
    // Plugs the controller, starts the dialog (which identifies it).
    void Start(SimBlockConfig config = {})
    {
        Plug(config);
        StartDialog();
        RouteNotificationsToDialog();
    }
    std::u16string WritePackage(const std::vector<PackageRecordSpec>& records)
    {
        const std::u16string path = BlockTestPath(".dat");
        EXPECT_TRUE(WritePackageFile(path, records));
        return path;
    }
    void Update(const std::u16string& path)
    {
        view.QueueFile(path);
        firstPosition = view.ProgressPositions().size();
        ClickAndWait();
    }
    std::vector<int> UpdatePositions() const
    {
        const auto all = view.ProgressPositions();
        return std::vector<int>(all.begin() + static_cast<std::ptrdiff_t>(firstPosition), all.end());
    }
    // Messages after the confirmation.
    std::vector<std::u16string> Outcome() const
    {
        std::vector<std::u16string> texts;
        for (const ShownMessage& m : view.Messages())
            if (m.buttons == MessageButtons::Ok)
                texts.push_back(m.text);
        return texts;
    }
    bool ButtonEnabled() const { return view.ControlEnabled(kIdUpdateButton); }
    bool DoneShown() const { return view.ControlVisible(kIdDoneLabel); }

    std::shared_ptr<SimBlockController> device;
    VirtualHidBus::DeviceId deviceId = 0;
    std::size_t firstPosition = 0;
};

struct UpdateCase {
    const char* name;
    std::uint32_t deviceType;
    std::vector<PackageRecordSpec> records;
    std::size_t chosen;             // index of the record that applies
    std::uint32_t eraseSize;
    DeviceMemoryMap map;
};

class SuccessfulUpdateTest : public BlockWorkerTest, public ::testing::WithParamInterface<UpdateCase> {};

TEST_P(SuccessfulUpdateTest, InstallsTheImageAndItsVersionWord)
{
    const UpdateCase& c = GetParam();
    SimBlockConfig config;
    config.deviceType = c.deviceType;
    Start(config);
    ASSERT_EQ(dlg->Session().device.memoryMap, c.map);
    const PackageRecordSpec& record = c.records[c.chosen];
    const auto size = static_cast<std::uint32_t>(record.image.size());
    Update(WritePackage(c.records));

    EXPECT_EQ(Outcome(), std::vector<std::u16string>{kSuccess});
    std::vector<SimEraseRequest> erases = {{record.header.imageAddress, c.eraseSize}};
    const bool special = IsSpecialDeviceType(c.deviceType);
    if (special)
        erases.push_back({c.map.versionAddress, 32});
    EXPECT_EQ(device->EraseRequests(), erases);
    EXPECT_EQ(device->Memory(c.map.imageBase, size), Installed(record.image, c.map, kNewVersion));
    // Nothing after the image: the next record's bytes never reach the device.
    EXPECT_EQ(device->Memory(c.map.imageBase + size, 64), Bytes(64, 0xFF));
    EXPECT_EQ(device->Word(c.map.versionAddress), kNewVersion);
    EXPECT_TRUE(device->Finished());
    EXPECT_EQ(device->RefusedWrites(), 0);
    EXPECT_TRUE(DoneShown());
    EXPECT_TRUE(ButtonEnabled());
    EXPECT_EQ(view.ProgressPos(), 0);
    EXPECT_EQ(dlg->LastResult().outcome, UpdateOutcome::Succeeded);

    const auto writes = device->FramesOf(BlockCommand::WriteImage);
    ASSERT_EQ(writes.size(), (size + 45) / 46);
    for (std::size_t k = 0; k < writes.size(); ++k) {
        const BlockFrameFields& f = writes[k].fields;
        ASSERT_EQ(f.address, c.map.imageBase + 46 * k);
        ASSERT_EQ(f.size, size);
        // BlockCrc16 may judge here: the check-value tests pin it (block_frame_test).
        ASSERT_EQ(f.crc, special ? BlockCrc16(writes[k].Data().data(), f.length) : 0);
    }
}

const std::vector<PackageRecordSpec> kMultiRecord = {
    Record(0x3010, 0x01018000, 500, 11), Record(0x5111, 0x01018000, 2000, 12), Record(0, 0x08014000, 300, 13)};

INSTANTIATE_TEST_SUITE_P(
    Devices, SuccessfulUpdateTest,
    ::testing::Values(
        UpdateCase{"default_type", 0x0042, {Record(0, 0x08014000, 1000, 1), Record(7, 0x08014000, 100, 2)}, 0,
                   1000, kDefaultMemoryMap},
        UpdateCase{"t3009", 0x3009, {Record(0x1234, 0x08003400, 46 * 30, 3), Record(0, 0, 50, 4)}, 0, 46 * 30,
                   kMemoryMap3009},
        // The record of the device's own type, in the middle of the package.
        UpdateCase{"t5111_multi_record", 0x5111, kMultiRecord, 1, 32768, kSpecialMemoryMap},
        UpdateCase{"t3010_first_record", 0x3010, kMultiRecord, 0, 32768, kSpecialMemoryMap}),
    [](const auto& info) { return std::string(info.param.name); });

// The demo mode's controller and package.
TEST_F(BlockWorkerTest, DemoPackageInstallsOnTheDemoController)
{
    SimBlockConfig config;
    config.deviceType = 0x5111;
    config.versionWord = 0x89;
    Start(config);
    const std::vector<PackageRecordSpec> records = DemoBlockPackage();
    Update(WritePackage(records));
    EXPECT_EQ(Outcome(), std::vector<std::u16string>{kSuccess});
    EXPECT_EQ(device->Memory(0x01018000, static_cast<std::uint32_t>(records[1].image.size())), records[1].image);
    EXPECT_EQ(device->Word(0x01017040), records[1].header.desVersion);
}

struct EraseCase {
    const char* name;
    std::uint32_t deviceType;
    std::uint32_t imageSize;
    std::uint32_t eraseSize;
};

class EraseSizeTest : public BlockWorkerTest, public ::testing::WithParamInterface<EraseCase> {};

TEST_P(EraseSizeTest, SpecialTypesEraseWholeUnits)
{
    const EraseCase& c = GetParam();
    SimBlockConfig config;
    config.deviceType = c.deviceType;
    Start(config);
    const std::uint32_t address = IsSpecialDeviceType(c.deviceType) ? 0x01018000 : 0x08014000;
    Update(WritePackage({Record(c.deviceType, address, c.imageSize, 5)}));
    EXPECT_EQ(Outcome(), std::vector<std::u16string>{kSuccess});
    ASSERT_FALSE(device->EraseRequests().empty());
    EXPECT_EQ(device->EraseRequests().front(), (SimEraseRequest{address, c.eraseSize}));
}

INSTANTIATE_TEST_SUITE_P(Sizes, EraseSizeTest,
                         ::testing::Values(EraseCase{"special_32768", 0x6006, 32768, 32768},
                                           EraseCase{"special_32769", 0x6006, 32769, 65536},
                                           EraseCase{"special_100", 0x3011, 100, 32768},
                                           EraseCase{"default_32769", 0, 32769, 32769},
                                           EraseCase{"default_100", 0, 100, 100}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ProgressCase {
    const char* name;
    std::size_t imageSize;
    std::vector<int> positions;
};

class ProgressTest : public BlockWorkerTest, public ::testing::WithParamInterface<ProgressCase> {};

// The click's 0, the first position before any block, one per acknowledged
// block, the reset after the success message.
TEST_P(ProgressTest, PositionAfterEachAcknowledgedBlock)
{
    Start();
    Update(WritePackage({Record(0, 0x08014000, GetParam().imageSize, 6), Record(1, 0x08014000, 100, 7)}));
    EXPECT_EQ(UpdatePositions(), GetParam().positions);
}

INSTANTIATE_TEST_SUITE_P(Images, ProgressTest,
                         ::testing::Values(ProgressCase{"ten_blocks", 460, {0, 0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 0}},
                                           // The last block is cut, so the count ends at exactly 100.
                                           ProgressCase{"uneven", 100, {0, 0, 46, 92, 100, 0}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BlockWorkerTest, FinishNotAcknowledgedStillSucceeds)
{
    SimBlockConfig config;
    config.faults.ignoreFinish = true;
    Start(config);
    Update(WritePackage({Record(0, 0x08014000, 200, 8)}));
    EXPECT_EQ(Outcome(), std::vector<std::u16string>{kSuccess});
    EXPECT_TRUE(DoneShown());
    EXPECT_TRUE(device->Finished());
}

struct FailureCase {
    const char* name;
    std::uint32_t deviceType;
    std::function<void(SimBlockFaults&)> fault;
    int imageFrames;      // WriteImage frames the device receives
    int lastPosition;     // progress bar afterwards
    bool imageWritten;
};

class FailedUpdateTest : public BlockWorkerTest, public ::testing::WithParamInterface<FailureCase> {};

// Every failure after the confirmation is reported; the button is refreshed.
TEST_P(FailedUpdateTest, ReportsTheFailure)
{
    const FailureCase& c = GetParam();
    SimBlockConfig config;
    config.deviceType = c.deviceType;
    c.fault(config.faults);
    Start(config);
    const std::uint32_t address = IsSpecialDeviceType(c.deviceType) ? 0x01018000 : 0x08014000;
    const PackageRecordSpec record = Record(c.deviceType, address, 460, 9);
    Update(WritePackage({record}));
    EXPECT_EQ(Outcome(), std::vector<std::u16string>{kFailure});
    EXPECT_EQ(view.Messages().back().caption, LoadText(6));
    EXPECT_EQ(static_cast<int>(device->FramesOf(BlockCommand::WriteImage).size()), c.imageFrames);
    EXPECT_EQ(view.ProgressPos(), c.lastPosition);
    EXPECT_FALSE(DoneShown());
    EXPECT_FALSE(device->Finished());
    EXPECT_TRUE(ButtonEnabled());
    EXPECT_FALSE(dlg->Session().packageFile.IsOpen());
    if (c.imageWritten) {
        EXPECT_EQ(device->Memory(dlg->Session().device.memoryMap.imageBase, 460), record.image);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FailedUpdateTest,
    ::testing::Values(
        FailureCase{"erase_unanswered", 0, [](SimBlockFaults& f) { f.ignoreErase = true; }, 0, 0, false},
        FailureCase{"erase_unanswered_special", 0x5112, [](SimBlockFaults& f) { f.ignoreErase = true; }, 0, 0,
                    false},
        // The image stays written; the progress keeps its last position.
        FailureCase{"version_word_not_stored", 0, [](SimBlockFaults& f) { f.ignoreVersionWrite = true; }, 10,
                    100, true},
        FailureCase{"version_word_not_stored_special", 0x5112,
                    [](SimBlockFaults& f) { f.ignoreVersionWrite = true; }, 10, 100, true},
        // Block 3 goes unanswered five times: given up, block 4 never sent.
        FailureCase{"write_given_up", 0,
                    [](SimBlockFaults& f) {
                        f.dropWritesFrom = 3;
                        f.dropWriteCount = 5;
                    },
                    8, 30, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BlockWorkerTest, UnansweredBlockIsSentAgainUnchanged)
{
    SimBlockConfig config;
    config.faults.dropWritesFrom = 3;
    config.faults.dropWriteCount = 4;  // the fifth try gets through
    config.faults.dropStoresData = true;  // the answers are lost, the data is not
    Start(config);
    const PackageRecordSpec record = Record(0, 0x08014000, 460, 10);
    Update(WritePackage({record}));
    EXPECT_EQ(Outcome(), std::vector<std::u16string>{kSuccess});
    const auto writes = device->FramesOf(BlockCommand::WriteImage);
    ASSERT_EQ(writes.size(), 14u);
    for (std::size_t i = 3; i < 8; ++i) {
        EXPECT_EQ(writes[i].fields.address, 0x08014000u + 3 * 46);
        EXPECT_EQ(writes[i].Data(), writes[3].Data());
    }
    EXPECT_EQ(writes[8].fields.address, 0x08014000u + 4 * 46);
    EXPECT_EQ(device->Memory(0x08014000, 460), Installed(record.image, kDefaultMemoryMap, kNewVersion));
}

// An answer repeated by the device stays queued; were it taken for the next
// block, a block the device dropped would count as written.
TEST_F(BlockWorkerTest, StaleAnswersDoNotHideALostBlock)
{
    SimBlockConfig config;
    config.faults.repeatAnswers = true;
    config.faults.dropWritesFrom = 4;
    config.faults.dropWriteCount = 1;
    Start(config);
    const PackageRecordSpec record = Record(0, 0x08014000, 460, 14);
    Update(WritePackage({record}));
    EXPECT_EQ(Outcome(), std::vector<std::u16string>{kSuccess});
    EXPECT_EQ(device->Memory(0x08014000, 460), Installed(record.image, kDefaultMemoryMap, kNewVersion));
}

// Answers carry no address. Block 0's first answer comes after its try gave
// up, so the block goes out again; the answer to that re-send is still on its
// way when block 1 goes out, and block 1 is never received. Had that answer
// been taken for block 1, the update would claim success without it.
TEST_F(BlockWorkerTest, AnswerOwedToAResentBlockDoesNotPassForTheNext)
{
    device = std::make_shared<SimBlockController>();
    auto faults = std::make_shared<FaultModel>(device);
    SimDeviceConfig config = MakeSimBlockDevice(device);
    config.model = faults;
    deviceId = bus.Plug(config);
    StartDialog();
    RouteNotificationsToDialog();
    faults->Arm();
    // Reports: erase, block 0, block 0 again, then block 1's five tries.
    faults->SetFault(1, {ReportFault::Late, 1050});
    faults->SetFault(2, {ReportFault::Late, 1100});
    for (std::size_t k = 3; k < 8; ++k)
        faults->SetFault(k, {ReportFault::Lost});
    Update(WritePackage({Record(0, 0x08014000, 460, 20)}));
    EXPECT_EQ(Outcome(), std::vector<std::u16string>{kFailure});
    EXPECT_EQ(device->Memory(0x08014000 + 46, 6), Bytes(6, 0xFF));  // up to the version slot
}

TEST_F(BlockWorkerTest, DelayedAnswersStillInstall)
{
    SimBlockConfig config;
    config.deviceType = 0x6007;
    config.faults.answerDelayMs = 25;
    Start(config);
    const PackageRecordSpec record = Record(0x6007, 0x01018000, 300, 15);
    Update(WritePackage({record}));
    EXPECT_EQ(Outcome(), std::vector<std::u16string>{kSuccess});
    EXPECT_EQ(device->Memory(0x01018000, 300), record.image);
}

TEST_F(BlockWorkerTest, UnplugMidTransferFailsAndDisablesTheButton)
{
    SimBlockConfig config;
    config.faults.unplugAtWrite = 5;
    Start(config);
    const std::size_t framesBefore = device->Frames().size();
    Update(WritePackage({Record(0, 0x08014000, 460, 16)}));
    EXPECT_EQ(Outcome(), std::vector<std::u16string>{kFailure});
    EXPECT_FALSE(bus.IsPresent(deviceId));
    EXPECT_FALSE(ButtonEnabled());
    EXPECT_FALSE(DoneShown());
    EXPECT_EQ(view.ProgressPos(), 50);
    // The removal noted during the update is handled afterwards.
    EXPECT_EQ(view.Title(), LoadText(6));
    // Nothing more is sent to a controller that is gone.
    EXPECT_EQ(device->Frames().size() - framesBefore, 1u + 6u);
}

// The file changes between the confirmation and the transfer.
struct PackageFaultCase {
    const char* name;
    std::function<void(const std::u16string& path)> change;
    int imageFrames;
};

class PackageFaultTest : public BlockWorkerTest, public ::testing::WithParamInterface<PackageFaultCase> {};

TEST_P(PackageFaultTest, EndsAsAFailureWithTheFileClosed)
{
    const PackageFaultCase& c = GetParam();
    Start();
    const std::u16string path = WritePackage({Record(0, 0x08014000, 460, 17)});
    view.OnMessageBox([&](const ShownMessage& shown) {
        if (shown.buttons == MessageButtons::OkCancel)
            c.change(path);
    });
    Update(path);
    EXPECT_EQ(Outcome(), std::vector<std::u16string>{kFailure});
    EXPECT_EQ(static_cast<int>(device->FramesOf(BlockCommand::WriteImage).size()), c.imageFrames);
    EXPECT_FALSE(dlg->Session().packageFile.IsOpen());
    EXPECT_TRUE(device->FramesOf(BlockCommand::WriteMemory).empty());
    EXPECT_TRUE(ButtonEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Packages, PackageFaultTest,
    ::testing::Values(
        PackageFaultCase{"removed", [](const std::u16string& p) { std::remove(Utf16ToUtf8(p).c_str()); }, 0},
        // 28 + 100 bytes left: two whole blocks, then the third cannot be read whole.
        PackageFaultCase{"cut_short",
                         [](const std::u16string& p) {
                             auto bytes = SerializePackage(std::vector<PackageRecordSpec>{Record(0, 0x08014000, 460, 17)});
                             bytes.resize(28 + 100);
                             WriteBytesToFile(p, bytes);
                         },
                         2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BlockWorkerTest, CancelledSelectionSendsNothing)
{
    Start();
    const std::size_t framesBefore = device->Frames().size();
    view.QueueFile(std::nullopt);
    ClickAndWait();
    EXPECT_EQ(device->Frames().size(), framesBefore);
    EXPECT_TRUE(view.Messages().empty());
    EXPECT_TRUE(ButtonEnabled());
    EXPECT_EQ(view.ProgressPos(), 0);
}

// The headless view with a hook on progress positions (run on the thread
// that sets them, before the call returns).
class ProgressHookView final : public IDialogView {
public:
    explicit ProgressHookView(HeadlessView& inner) : m_Inner(inner) {}
    std::function<void(int)> onProgress;

    void SetTitle(const std::u16string& t) override { m_Inner.SetTitle(t); }
    std::u16string Title() override { return m_Inner.Title(); }
    void SetControlText(int id, const std::u16string& t) override { m_Inner.SetControlText(id, t); }
    void EnableControl(int id, bool e) override { m_Inner.EnableControl(id, e); }
    void ShowControl(int id, bool s) override { m_Inner.ShowControl(id, s); }
    void SetProgressRange(std::uint16_t l, std::uint16_t h) override { m_Inner.SetProgressRange(l, h); }
    void SetProgressPos(int position) override
    {
        m_Inner.SetProgressPos(position);
        if (onProgress)
            onProgress(position);
    }
    void SetIcons() override { m_Inner.SetIcons(); }
    int MessageBox(const std::u16string& t, const std::u16string& c, MessageButtons b) override
    {
        return m_Inner.MessageBox(t, c, b);
    }
    bool FileOpenDialog(const FileOpenRequest& r, std::u16string& p) override { return m_Inner.FileOpenDialog(r, p); }
    std::u16string CurrentDirectory() override { return m_Inner.CurrentDirectory(); }
    NotifyWindow NotifyTarget() override { return m_Inner.NotifyTarget(); }
    void PostDeviceChange(std::uint32_t event) override { m_Inner.PostDeviceChange(event); }
    void PumpUntil(const std::function<bool()>& done) override { m_Inner.PumpUntil(done); }
    void WakeUi() override { m_Inner.WakeUi(); }

private:
    HeadlessView& m_Inner;
};

// The user closes the dialog while the third block's progress is shown: the
// worker stops at the next block boundary, silently.
TEST_F(BlockWorkerTest, ClosingTheDialogStopsAtTheNextBlock)
{
    Plug();
    ProgressHookView hookView(view);
    std::atomic<bool> reached{false};
    dlg = std::make_unique<CUpdateDlg>(bus, hookView, clock, StandardProtocolDrivers());
    dlg->OnInitDialog();
    hookView.onProgress = [&](int position) {
        if (position != 30 || reached)
            return;
        reached = true;
        while (!dlg->Session().StopRequested())
            std::this_thread::yield();
    };
    view.QueueFile(WritePackage({Record(0, 0x08014000, 460, 19)}));
    dlg->OnUpdateClicked();
    while (!reached)
        std::this_thread::yield();
    EXPECT_TRUE(dlg->OnCloseRequested());
    EXPECT_FALSE(dlg->WorkerActive());
    EXPECT_EQ(device->FramesOf(BlockCommand::WriteImage).size(), 3u);
    EXPECT_TRUE(device->FramesOf(BlockCommand::WriteMemory).empty());
    EXPECT_FALSE(device->Finished());
    EXPECT_TRUE(Outcome().empty());
    EXPECT_FALSE(dlg->Session().packageFile.IsOpen());
    EXPECT_TRUE(ButtonEnabled());
    dlg.reset();  // before the view it uses
}

}  // namespace

struct VerifyCase {
    const char* name;
    std::function<void(SimBlockFaults&)> fault;
    VerifyVerdict verdict;
    std::uint32_t firstDifference;
};

class VerifyTest : public BlockWorkerTest, public ::testing::WithParamInterface<VerifyCase> {};

// Only a verified image gets its version word and Finish.
TEST_P(VerifyTest, FinishOnlyAfterAVerifiedImage)
{
    SimBlockConfig config;
    GetParam().fault(config.faults);
    Start(config);
    UpdateOptions options;
    options.verifyImage = true;
    dlg->Session().SetOptions(options);
    Update(WritePackage({Record(0, 0x08014000, 200, 8)}));
    const VerifyResult result = dlg->LastResult().verify;
    EXPECT_EQ(result.verdict, GetParam().verdict);
    EXPECT_EQ(result.firstDifference, GetParam().firstDifference);
    const bool passed = GetParam().verdict == VerifyVerdict::Passed;
    EXPECT_EQ(device->FinishCount(), passed ? 1 : 0);
    EXPECT_EQ(DoneShown(), passed);
}

INSTANTIATE_TEST_SUITE_P(
    Images, VerifyTest,
    ::testing::Values(
        VerifyCase{"Correct", [](SimBlockFaults&) {}, VerifyVerdict::Passed, 0},
        VerifyCase{"OneByteCorrupted", [](SimBlockFaults& f) { f.corruptByteAt = 0x08014000 + 150; },
                   VerifyVerdict::Mismatch, 0x08014000 + 150},
        VerifyCase{"ReadsRefused", [](SimBlockFaults& f) { f.ignoreReadMemory = true; },
                   VerifyVerdict::NoAnswer, 0x08014000}),
    [](const auto& info) { return std::string(info.param.name); });
