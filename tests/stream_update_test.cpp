// Updates of a simulated stream controller, driven through the dialog's
// update click and the headless view.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "text/text_table.h"
#include "text/wformat.h"
#include "engine/firmware_selection.h"
#include "package/package_writer.h"
#include "sim/sim_stream_controller.h"
#include "stream/stream_frame.h"
#include "support/dialog_fixture.h"
#include "support/test_paths.h"

namespace {

const std::u16string kSuccess = u"\n Firmware upgraded! \n";
const std::u16string kFailure = u"Firmware update failure\n";
const std::u16string kBootMode = u"Firmware update failure, please handle work in BOOT mode\n";
constexpr std::uint32_t kPackageVersion = 150;  // 1.50 release

// Wall time a 1 MiB update may take; sanitizers slow every lock and copy.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr auto kMebibyteBudget = std::chrono::seconds(90);
#else
constexpr auto kMebibyteBudget = std::chrono::seconds(5);
#endif

std::u16string TempPath() { return TestFilePath(); }

class StreamUpdate : public DialogFixture {
protected:
    void Plug(SimStreamConfig config = {})
    {
        device = std::make_shared<SimStreamController>(config);
        id = bus.Plug(MakeSimStreamDevice(device));
    }
    // A one-record package; fileImage may run on past the declared image.
    std::u16string Package(const std::vector<std::uint8_t>& fileImage, std::uint32_t imageSize,
                           std::uint32_t desVersion = kPackageVersion)
    {
        PackageRecordSpec record;
        record.header.desVersion = desVersion;
        record.header.imageAddress = 0x08004000;
        record.image = fileImage;
        record.declaredImageSize = imageSize;
        const std::u16string path = TempPath();
        EXPECT_TRUE(WritePackageFile(path, std::vector<PackageRecordSpec>{record}));
        return path;
    }
    std::u16string Package(const std::vector<std::uint8_t>& image)
    {
        return Package(image, static_cast<std::uint32_t>(image.size()));
    }
    // Starts the dialog with the controller, then clicks and confirms.
    void UpdateWith(const std::u16string& path)
    {
        StartDialog();
        view.QueueFile(path);
        view.QueueMessageAnswer(kIdOk);
        ClickAndWait();
    }
    std::vector<std::u16string> Texts() const
    {
        std::vector<std::u16string> texts;
        for (const auto& m : view.Messages())
            texts.push_back(m.text);
        return texts;
    }
    // Progress positions set by the update (after init and the click's 0).
    std::vector<int> UpdateProgress() const
    {
        const auto all = view.ProgressPositions();
        return {all.begin() + 2, all.end()};
    }
    int Sent(std::uint8_t command) const { return device->Count(COMMAND_FRAME, command); }
    std::u16string ConfirmationFor(std::uint32_t desVersion) const
    {
        PackageHeader h;
        h.desVersion = desVersion;
        return ConfirmationText(h);
    }

    std::shared_ptr<SimStreamController> device;
    VirtualHidBus::DeviceId id = 0;
};

TEST_F(StreamUpdate, InstallsThePackageImageByteForByte)
{
    Plug();
    const auto image = MakeDemoImage(5000, 7);
    UpdateWith(Package(image));

    EXPECT_TRUE(device->Installed());
    EXPECT_EQ(device->InstalledImage(), image);
    EXPECT_EQ(device->VersionWord(), kPackageVersion);
    const auto start = device->StartPayloadReceived();
    ASSERT_TRUE(start);
    EXPECT_EQ(start->versionWord, kPackageVersion);
    EXPECT_EQ(start->imageAddress, 0x08004000u);
    EXPECT_EQ(start->imageSize, 5000u);
    // On the wire: count, frame header, START_UPDATE, payload length 28, the
    // three words, then 16 reserved zero bytes.
    const auto log = bus.OutputLog(id);
    const auto startReport = std::find_if(log.begin(), log.end(), [](const HidReport& r) {
        return r[3] == COMMAND_FRAME && r[6] == START_UPDATE;
    });
    ASSERT_NE(startReport, log.end());
    std::vector<std::uint8_t> expected = {0x00, 0x23, 0x00, 0x16, 0x1F, 0x00, 0x01, 0x1C, 0x00,
                                          0x96, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x08,
                                          0x88, 0x13, 0x00, 0x00};
    expected.resize(37, 0x00);
    EXPECT_EQ(std::vector<std::uint8_t>(startReport->begin(), startReport->begin() + 37), expected);
    const auto messages = view.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, ConfirmationFor(kPackageVersion));
    EXPECT_EQ(messages[0].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(messages[1].text, kSuccess);
    EXPECT_EQ(messages[1].buttons, MessageButtons::Ok);
    EXPECT_EQ(messages[1].caption, LoadText(6));
    EXPECT_TRUE(view.ControlVisible(kIdDoneLabel));
    EXPECT_TRUE(view.ControlEnabled(kIdUpdateButton));
    EXPECT_EQ(view.ProgressPos(), 0);
    EXPECT_EQ(dlg->LastResult().outcome, UpdateOutcome::Succeeded);
    EXPECT_FALSE(dlg->Session().packageFile.IsOpen());
    for (const char16_t* line : {u"send() is OK!\n", u"Bytes Sent: 1\n", u"firmware type 1\n",
                                 u"desVersion is 150\n", u"update successful\n",
                                 u"Exit Usb_UpdateThread\n"})
        EXPECT_EQ(sink.Count(line), 1) << Utf16ToUtf8(line);
}

TEST_F(StreamUpdate, HundredByteImageGoesInFourChunksThenEnds)
{
    Plug();
    UpdateWith(Package(MakeDemoImage(100, 1)));
    EXPECT_EQ(device->ChunkSizes(), (std::vector<std::size_t>{32, 32, 32, 4}));
    EXPECT_EQ(UpdateProgress(), (std::vector<int>{64, 96, 100, 0}));
    EXPECT_EQ(Sent(END_UPDATE), 1);
    EXPECT_EQ(device->Frames().back(), (std::vector<std::uint8_t>{0x00, 0x16, 0x01, 0x00, 0x02}));
    EXPECT_EQ(device->RequestsSent(), 5);
    EXPECT_TRUE(sink.Contains(u"update file is 0x64\n"));
    EXPECT_TRUE(sink.Contains(u"\nSET_FIRMWARE_DATA read_pos 4 offset 0x64\n\n"));
    EXPECT_EQ(Texts().back(), kSuccess);
}

TEST_F(StreamUpdate, SmallImageEndsOnlyAfterABareChunk)
{
    Plug();
    const auto image = MakeDemoImage(20, 3);
    UpdateWith(Package(image));
    EXPECT_EQ(device->ChunkSizes(), (std::vector<std::size_t>{20, 0}));
    EXPECT_EQ(device->InstalledImage(), image);
    EXPECT_EQ(UpdateProgress(), (std::vector<int>{100, 0}));
    const auto frames = device->Frames();
    const std::vector<std::uint8_t> bareImageData{0x00, 0x16, 0x01, 0x00, 0x00};
    EXPECT_EQ(std::count(frames.begin(), frames.end(), bareImageData), 1);
}

TEST_F(StreamUpdate, BytesAfterTheImageFillTheLastChunk)
{
    Plug();
    const auto fileImage = MakeDemoImage(140, 4);
    UpdateWith(Package(fileImage, 100));
    EXPECT_EQ(device->ChunkSizes(), (std::vector<std::size_t>{32, 32, 32, 32}));
    EXPECT_EQ(device->ReceivedBytes(), std::vector<std::uint8_t>(fileImage.begin(), fileImage.begin() + 128));
    EXPECT_EQ(device->InstalledImage(), std::vector<std::uint8_t>(fileImage.begin(), fileImage.begin() + 100));
    EXPECT_EQ(UpdateProgress(), (std::vector<int>{64, 96, 128, 0}));
}

TEST_F(StreamUpdate, MebibyteImageTakesSecondsAtMost)
{
    Plug();
    const auto image = MakeDemoImage(1 << 20, 9);
    const auto path = Package(image);
    const auto begin = std::chrono::steady_clock::now();
    UpdateWith(path);
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_EQ(device->InstalledImage(), image);
    EXPECT_EQ(Texts().back(), kSuccess);
    EXPECT_LT(took, kMebibyteBudget);
}

TEST_F(StreamUpdate, DelayedAnswersAreWaitedFor)
{
    SimStreamConfig config;
    config.answerDelayMs = 150;  // beyond the 10 ms reads of the transfer
    Plug(config);
    const auto image = MakeDemoImage(300, 5);
    UpdateWith(Package(image));
    EXPECT_EQ(device->InstalledImage(), image);
    EXPECT_GT(device->Count(READ_FAILED), 10);
    EXPECT_EQ(Texts().back(), kSuccess);
}

TEST_F(StreamUpdate, TimeInTheConfirmationIsNotSilence)
{
    Plug();
    view.OnMessageBox([this](const ShownMessage& m) {
        if (m.buttons == MessageButtons::OkCancel)
            clock.Advance(60'000);
    });
    UpdateWith(Package(MakeDemoImage(64, 2)));
    EXPECT_TRUE(device->Installed());
    EXPECT_EQ(Texts().back(), kSuccess);
}

struct RefusalCase {
    const char* name;
    std::optional<std::u16string> file;  // nullopt: the file dialog is cancelled
    int confirmation;
    std::vector<std::u16string> texts;   // beyond the confirmation, if shown
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class StreamRefusal : public StreamUpdate, public testing::WithParamInterface<RefusalCase> {};

TEST_P(StreamRefusal, EndsWithoutTransfer)
{
    const RefusalCase& c = GetParam();
    Plug();
    StartDialog();
    view.QueueFile(c.file ? Package(MakeDemoImage(64, 1)) : std::optional<std::u16string>());
    view.QueueMessageAnswer(c.confirmation);
    ClickAndWait();
    EXPECT_EQ(Texts(), c.texts);
    EXPECT_EQ(Sent(START_UPDATE), 0);
    EXPECT_EQ(dlg->LastResult().outcome, UpdateOutcome::Quiet);
    EXPECT_EQ(dlg->Session().HidLink.m_ReadTimeout, 200u);
    EXPECT_TRUE(view.ControlEnabled(kIdUpdateButton));
    EXPECT_TRUE(sink.Contains(u"Exit Usb_UpdateThread\n"));
    EXPECT_EQ(sink.Count(u"MessageBox == IDCANCEL\n"), c.confirmation == kIdCancel ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, StreamRefusal,
    testing::Values(RefusalCase{"FileDialogCancelled", std::nullopt, kIdOk, {}},
                    RefusalCase{"ConfirmationCancelled", u"", kIdCancel,
                                {u"Firmware Version:  1.50\n"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct RuleCase {
    const char* name;
    std::uint8_t subModel;
    std::uint32_t desVersion;
    bool accepted;
};

void PrintTo(const RuleCase& c, std::ostream* os) { *os << c.name; }

class StreamModelRule : public StreamUpdate, public testing::WithParamInterface<RuleCase> {};

TEST_P(StreamModelRule, DecidesBeforeTheConfirmation)
{
    const RuleCase& c = GetParam();
    SimStreamConfig config;
    config.model = 261;
    config.subModel = c.subModel;
    Plug(config);
    const auto image = MakeDemoImage(64, 6);
    UpdateWith(Package(image, 64, c.desVersion));
    EXPECT_EQ(device->Installed(), c.accepted);
    if (c.accepted)
        EXPECT_EQ(Texts(), (std::vector<std::u16string>{ConfirmationFor(c.desVersion), kSuccess}));
    else
        EXPECT_TRUE(Texts().empty()) << "a refusal shows nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Model261, StreamModelRule,
    testing::Values(RuleCase{"Sub0At137", 0, 137, true},
                    RuleCase{"Sub1At137Beta1", 1, (1u << 16) | 137, false},
                    RuleCase{"Sub2At501", 2, 501, false},
                    RuleCase{"Sub3At100", 3, 100, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
    const char* name;
    std::uint8_t report;
    std::uint32_t afterChunks;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class StreamFailureReport : public StreamUpdate,
                            public testing::WithParamInterface<FailureCase> {};

TEST_P(StreamFailureReport, EndsWithTextSeven)
{
    const FailureCase& c = GetParam();
    SimStreamConfig config;
    config.failureReport = c.report;
    config.failAfterChunks = c.afterChunks;
    Plug(config);
    UpdateWith(Package(MakeDemoImage(1000, 8)));
    EXPECT_EQ(device->ChunkSizes().size(), c.afterChunks);
    EXPECT_FALSE(device->Installed());
    EXPECT_EQ(Texts().back(), kFailure);
    EXPECT_EQ(Sent(END_UPDATE), 0);
    EXPECT_FALSE(dlg->Session().packageFile.IsOpen());
    EXPECT_FALSE(view.ControlVisible(kIdDoneLabel));
    EXPECT_TRUE(view.ControlEnabled(kIdUpdateButton));
    EXPECT_TRUE(sink.Contains(u"Exit Usb_UpdateThread\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Reports, StreamFailureReport,
    testing::Values(FailureCase{"Report21AtStart", 21, 0}, FailureCase{"Report24AtStart", 24, 0},
                    FailureCase{"Report21AfterFirstChunk", 21, 1},
                    FailureCase{"Report24MidImage", 24, 7}),
    [](const auto& info) { return std::string(info.param.name); });

struct TypeCase {
    const char* name;
    std::uint8_t firmwareType;
    bool selects;
};

void PrintTo(const TypeCase& c, std::ostream* os) { *os << c.name; }

class StreamFirmwareType : public StreamUpdate, public testing::WithParamInterface<TypeCase> {};

TEST_P(StreamFirmwareType, OnlyTypesOneAndTwoHundredSelectAPackage)
{
    const TypeCase& c = GetParam();
    SimStreamConfig config;
    config.firmwareType = c.firmwareType;
    Plug(config);
    StartDialog();
    view.QueueFile(std::nullopt);
    ClickAndWait();
    EXPECT_EQ(view.FileRequests().size(), c.selects ? 1u : 0u);
    EXPECT_EQ(Texts(), c.selects ? std::vector<std::u16string>{}
                                 : std::vector<std::u16string>{kBootMode});
    EXPECT_EQ(sink.Count(kBootMode), c.selects ? 0 : 1);
    EXPECT_EQ(dlg->LastResult().outcome, c.selects ? UpdateOutcome::Quiet : UpdateOutcome::Failed);
    EXPECT_EQ(dlg->Session().device.firmwareType, c.firmwareType);
}

INSTANTIATE_TEST_SUITE_P(Identity, StreamFirmwareType,
                         testing::Values(TypeCase{"Type1", 1, true}, TypeCase{"Type200", 200, true},
                                         TypeCase{"Type2", 2, false}, TypeCase{"Type0", 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StreamUpdate, UnplugMidTransferEndsBoundedWithTextSeven)
{
    SimStreamConfig config;
    config.unplugAfterChunks = 3;
    Plug(config);
    RouteNotificationsToDialog();
    const auto before = clock.NowMs();
    UpdateWith(Package(MakeDemoImage(1000, 8)));
    EXPECT_LT(clock.NowMs() - before, 1000u);
    EXPECT_EQ(device->ChunkSizes().size(), 3u);
    EXPECT_EQ(Texts().back(), kFailure);
    EXPECT_FALSE(dlg->Session().packageFile.IsOpen());
    EXPECT_FALSE(view.ControlEnabled(kIdUpdateButton));
    EXPECT_EQ(view.Title(), LoadText(6));
    EXPECT_FALSE(dlg->WorkerActive());
}

TEST_F(StreamUpdate, ReadErrorsFromAControllerNoLongerListedFailAtOnce)
{
    Plug();
    const auto path = Package(MakeDemoImage(1000, 8));
    view.OnMessageBox([&](const ShownMessage& m) {
        if (m.buttons != MessageButtons::OkCancel)
            return;
        bus.Close(dlg->Session().HidLink.m_ReadHandle);  // reads now fail outright
        bus.Unplug(id, {});
    });
    const auto before = clock.NowMs();
    UpdateWith(path);
    EXPECT_LT(clock.NowMs() - before, 1000u);
    EXPECT_EQ(Texts().back(), kFailure);
    EXPECT_FALSE(view.ControlEnabled(kIdUpdateButton));
}

struct SilenceCase {
    const char* name;
    bool silentFromStart;
    std::uint32_t silentAfterChunks;
};

void PrintTo(const SilenceCase& c, std::ostream* os) { *os << c.name; }

class StreamSilence : public StreamUpdate, public testing::WithParamInterface<SilenceCase> {};

TEST_P(StreamSilence, TenSecondsWithoutReportFail)
{
    const SilenceCase& c = GetParam();
    SimStreamConfig config;
    config.silent = c.silentFromStart;
    if (!c.silentFromStart)
        config.silentAfterChunks = c.silentAfterChunks;
    Plug(config);
    StartDialog();
    view.QueueFile(Package(MakeDemoImage(1000, 8)));
    view.QueueMessageAnswer(kIdOk);
    const auto before = clock.NowMs();
    ClickAndWait();
    const auto waited = clock.NowMs() - before;
    EXPECT_GE(waited, 10'000u);
    EXPECT_LT(waited, 10'400u);
    EXPECT_EQ(Texts().back(), kFailure);
    EXPECT_FALSE(device->Installed());
    EXPECT_FALSE(dlg->Session().packageFile.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Controller, StreamSilence,
                         testing::Values(SilenceCase{"NeverAnswers", true, 0},
                                         SilenceCase{"StopsMidImage", false, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StreamUpdate, PackageCutShortUnderTheTransferFails)
{
    Plug();
    const auto path = Package(MakeDemoImage(100, 1));
    view.OnMessageBox([&](const ShownMessage& m) {
        if (m.buttons == MessageButtons::OkCancel) {
            const std::vector<std::uint8_t> head(28 + 40, 0);
            EXPECT_TRUE(WriteBytesToFile(path, head));
        }
    });
    UpdateWith(path);
    EXPECT_EQ(device->ChunkSizes(), (std::vector<std::size_t>{32, 8}));
    EXPECT_EQ(Texts().back(), kFailure);
    EXPECT_FALSE(device->Installed());
    EXPECT_FALSE(dlg->Session().packageFile.IsOpen());
}

// Nothing of a failed transfer carries over into the next update.
TEST_F(StreamUpdate, UpdateAfterAFailedOneStartsAfresh)
{
    Plug();
    const auto path = Package(MakeDemoImage(100, 1));
    bool cut = false;
    view.OnMessageBox([&](const ShownMessage& m) {
        if (m.buttons == MessageButtons::OkCancel && !cut)
            cut = WriteBytesToFile(path, std::vector<std::uint8_t>(28 + 40, 0));
    });
    UpdateWith(path);
    ASSERT_EQ(Texts(), (std::vector<std::u16string>{u"Firmware Version:  1.50\n", kFailure}));
    const auto image = MakeDemoImage(300, 2);
    view.QueueFile(Package(image));
    view.QueueMessageAnswer(kIdOk);
    ClickAndWait();
    EXPECT_EQ(device->InstalledImage(), image);
    EXPECT_EQ(Texts().back(), kSuccess);
    EXPECT_EQ(Texts().size(), 4u);
}

// Like every other failure of the worker: text 7 and a refreshed button.
TEST_F(StreamUpdate, UpdateStartThatCannotBeWrittenFailsVisibly)
{
    Plug();
    StartDialog();
    bus.SetFailWrites(id, true);
    ClickAndWait();
    EXPECT_TRUE(sink.Contains(u"send() failed with error code 31\n"));
    ASSERT_EQ(view.Messages().size(), 1u);
    EXPECT_EQ(view.Messages()[0].text, LoadText(7) + u"\n");
    EXPECT_TRUE(view.ControlEnabled(kIdUpdateButton)) << "the controller is still there";
    EXPECT_TRUE(view.FileRequests().empty());
}

}  // namespace
