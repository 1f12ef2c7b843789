// Choosing, checking and confirming a firmware package.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "text/text_table.h"
#include "text/wformat.h"
#include "engine/firmware_selection.h"
#include "package/package_writer.h"
#include "protocols/package_inspection.h"
#include "sim/sim_stream_controller.h"
#include "support/session_fixture.h"
#include "support/test_paths.h"

namespace {

constexpr std::uint32_t Ver(std::uint16_t v, std::uint16_t beta = 0)
{
    return std::uint32_t{beta} << 16 | v;
}

std::u16string TempPath() { return TestFilePath(); }

struct RuleCase {
    std::uint32_t protocol;
    std::uint16_t model;
    std::uint8_t subModel;
    std::uint32_t desVersion;
    bool accepted;
};

void PrintTo(const RuleCase& c, std::ostream* os)
{
    *os << "protocol " << c.protocol << " model " << c.model << " sub " << int(c.subModel)
        << " version 0x" << std::hex << c.desVersion;
}

class CompatibilityRule : public testing::TestWithParam<RuleCase> {};

TEST_P(CompatibilityRule, Decides)
{
    const RuleCase& c = GetParam();
    EXPECT_EQ(PackageCompatibilityRule(c.protocol, c.model, c.subModel, c.desVersion), c.accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CompatibilityRule,
    testing::Values(RuleCase{0, 261, 0, Ver(137), true}, RuleCase{0, 261, 0, Ver(137, 1), false},
                    RuleCase{0, 261, 0, Ver(136), false}, RuleCase{0, 261, 0, Ver(138, 5), true},
                    RuleCase{0, 261, 1, Ver(137), true}, RuleCase{0, 261, 1, Ver(137, 1), false},
                    RuleCase{0, 261, 1, Ver(136), false}, RuleCase{0, 261, 1, Ver(138, 5), true},
                    RuleCase{0, 261, 2, Ver(502), true}, RuleCase{0, 261, 2, Ver(502, 3), false},
                    RuleCase{0, 261, 2, Ver(501), false}, RuleCase{0, 261, 2, Ver(503, 1), true},
                    RuleCase{0, 261, 2, Ver(137), false}, RuleCase{0, 261, 3, Ver(1), true},
                    RuleCase{0, 261, 255, Ver(0, 9), true}, RuleCase{0, 262, 0, Ver(1), true},
                    RuleCase{0, 5, 2, Ver(100), true}, RuleCase{1, 261, 0, Ver(1), true},
                    RuleCase{1, 261, 2, Ver(501, 1), true}));

struct TextCase {
    std::uint32_t desVersion;
    std::uint32_t revision;
    const char16_t* expected;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << Utf16ToUtf8(c.expected); }

class Confirmation : public testing::TestWithParam<TextCase> {};

TEST_P(Confirmation, ShowsPackageVersionAndRevision)
{
    const TextCase& c = GetParam();
    PackageHeader h;
    h.desVersion = c.desVersion;
    h.revision = c.revision;
    EXPECT_EQ(ConfirmationText(h), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Confirmation,
    testing::Values(TextCase{Ver(137), 0, u"Firmware Version:  1.37\n"},
                    TextCase{Ver(137, 2), 0, u"Firmware Version:  1.37 beta2\n"},
                    TextCase{Ver(137), 4, u"Firmware Version:  1.37 r4\n"},
                    TextCase{Ver(137, 2), 4, u"Firmware Version:  1.37 beta2 r4\n"},
                    TextCase{Ver(502), 0xFFFFFFFF, u"Firmware Version:  5.02 r-1\n"},
                    TextCase{Ver(5, 0xFFFF), 0, u"Firmware Version:  0.05 beta65535\n"},
                    TextCase{Ver(65535), 0, u"Firmware Version:  655.35\n"}));

class Selection : public SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        id = bus.Plug(MakeSimStreamDevice(std::make_shared<SimStreamController>()));
        OpenSession();
    }
    void AsBlockDevice(std::uint32_t type)
    {
        session->HidLink.ProtocolVariant = kProtocolBlock;
        session->device.currentDeviceType = type;
    }
    SelectionRefusal Refusal() const { return session->LastSelection().refusal; }
    struct Rec {
        std::uint32_t deviceType;
        std::size_t size;
        std::uint32_t desVersion = Ver(150);
    };
    std::u16string Package(const std::vector<Rec>& records)
    {
        std::vector<PackageRecordSpec> specs;
        for (const Rec& r : records) {
            PackageRecordSpec s;
            s.header.deviceType = r.deviceType;
            s.header.desVersion = r.desVersion;
            s.header.imageAddress = 0x08014000;
            s.image = MakeDemoImage(r.size, r.deviceType);
            specs.push_back(s);
        }
        const auto path = TempPath();
        EXPECT_TRUE(WritePackageFile(path, specs));
        return path;
    }
    bool Select(const std::u16string& path, int answer = kIdOk)
    {
        view.QueueFile(path);
        view.QueueMessageAnswer(answer);
        return SelectAndStart(*session).has_value();
    }
    // No transfer was set up: nothing sent, time-out as before.
    void ExpectNothingStarted()
    {
        EXPECT_TRUE(bus.OutputLog(id).empty());
        EXPECT_EQ(session->HidLink.m_ReadTimeout, 200u);
        EXPECT_EQ(session->transfer.packageVersionWord, 0u);
    }
    std::vector<std::u16string> Texts() const
    {
        std::vector<std::u16string> texts;
        for (const auto& m : view.Messages())
            texts.push_back(m.text);
        return texts;
    }

    VirtualHidBus::DeviceId id = 0;
    const std::u16string kNotRecognized = u"The Firmware not recognized!\n";
};

TEST_F(Selection, AsksForADatFileFromTheCurrentDirectory)
{
    view.QueueFile(std::nullopt);
    EXPECT_FALSE(SelectAndStart(*session).has_value());
    ASSERT_EQ(view.FileRequests().size(), 1u);
    const FileOpenRequest r = view.FileRequests()[0];
    EXPECT_EQ(r.filter, u"File type(*.dat)|*.dat||");
    EXPECT_EQ(r.defaultExtension, u"*.*");
    EXPECT_EQ(r.initialFileName, u"");
    EXPECT_EQ(r.flags, 6u);
    EXPECT_EQ(r.initialDirectory, u"/sim");
}

TEST_F(Selection, DirectoryBeyondTheBufferIsLeftToThePlatform)
{
    for (std::size_t length : {255u, 256u}) {
        view.SetCurrentDirectory(std::u16string(length, u'd'));
        view.QueueFile(std::nullopt);
        SelectAndStart(*session).has_value();
        EXPECT_EQ(view.FileRequests().back().initialDirectory.size(), length < 256 ? length : 0u);
    }
}

TEST_F(Selection, CancelledFileDialogShowsNothingAndKeepsThePath)
{
    session->packagePath = u"earlier.dat";
    view.QueueFile(std::nullopt);
    EXPECT_FALSE(SelectAndStart(*session).has_value());
    EXPECT_EQ(session->packagePath, u"earlier.dat");
    EXPECT_TRUE(view.Messages().empty());
    ExpectNothingStarted();
}

TEST_F(Selection, ConfirmedPackageBecomesTheTransfer)
{
    const auto path = Package({{0, 4096, Ver(137, 2)}});
    EXPECT_TRUE(Select(path));
    const TransferRecord& t = session->transfer;
    EXPECT_EQ(session->packagePath, path);
    EXPECT_EQ(t.packageVersionWord, Ver(137, 2));
    EXPECT_EQ(t.imageAddress, 0x08014000u);
    EXPECT_EQ(t.imageSize, 4096u);
    EXPECT_EQ(t.recordOffset, 0u);
    EXPECT_EQ(t.bytesSent, 0u);
    EXPECT_EQ(session->HidLink.m_ReadTimeout, 10u);
    EXPECT_EQ(Texts(), std::vector<std::u16string>{u"Firmware Version:  1.37 beta2\n"});
    EXPECT_EQ(view.Messages()[0].buttons, MessageButtons::OkCancel);
    // The protocol starts the transfer on the wire, not the selection.
    EXPECT_TRUE(bus.OutputLog(id).empty());
}

TEST_F(Selection, CancelledConfirmationKeepsTheHeaderButStartsNothing)
{
    const auto path = Package({{0, 300, Ver(140)}});
    EXPECT_FALSE(Select(path, kIdCancel));
    EXPECT_TRUE(sink.Contains(u"MessageBox == IDCANCEL\n"));
    EXPECT_EQ(Refusal(), SelectionRefusal::Cancelled);
    EXPECT_EQ(session->LastSelection().header.desVersion, Ver(140));
    EXPECT_EQ(session->LastSelection().header.imageSize, 300u);
    ExpectNothingStarted();
}

struct BrokenCase {
    const char* name;
    std::function<std::vector<std::uint8_t>()> bytes;  // empty function: no file at all
    bool textShown;
};

void PrintTo(const BrokenCase& c, std::ostream* os) { *os << c.name; }

PackageRecordSpec Record(std::size_t size, std::optional<std::uint32_t> declared = std::nullopt)
{
    PackageRecordSpec s;
    s.header.desVersion = Ver(150);
    s.image = MakeDemoImage(size, 1);
    s.declaredImageSize = declared;
    return s;
}

std::vector<std::uint8_t> Serialized(PackageRecordSpec entry)
{
    return SerializePackage(std::vector<PackageRecordSpec>{entry});
}

class BrokenPackage : public Selection, public testing::WithParamInterface<BrokenCase> {};

TEST_P(BrokenPackage, StartsNoTransfer)
{
    const BrokenCase& c = GetParam();
    std::u16string path = TempPath();
    if (c.bytes)
        ASSERT_TRUE(WriteBytesToFile(path, c.bytes()));
    else
        path += u".missing";
    EXPECT_FALSE(Select(path));
    EXPECT_EQ(Texts(), c.textShown ? std::vector<std::u16string>{kNotRecognized}
                                   : std::vector<std::u16string>{});
    EXPECT_EQ(Refusal(), c.textShown ? SelectionRefusal::BrokenRecord : SelectionRefusal::CannotOpen);
    ExpectNothingStarted();
}

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenPackage,
    testing::Values(
        BrokenCase{"Missing", nullptr, false},
        BrokenCase{"Empty", [] { return std::vector<std::uint8_t>{}; }, true},
        BrokenCase{"HeaderCutShort",
                   [] {
                       auto b = Serialized(Record(64));
                       b.resize(20);
                       return b;
                   },
                   true},
        BrokenCase{"EmptyImage", [] { return Serialized(Record(0)); }, true},
        BrokenCase{"ImagePastEnd", [] { return Serialized(Record(64, 65)); }, true},
        BrokenCase{"SizeBeyondTwoGiB", [] { return Serialized(Record(64, 0xFFFFFFF0)); }, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Selection, StreamDeviceUsesTheFirstRecordWhateverTypeWasLeft)
{
    session->device.currentDeviceType = 0x5111;
    EXPECT_TRUE(Select(Package({{0x3009, 100}, {0x5111, 200}})));
    EXPECT_EQ(session->transfer.recordOffset, 0u);
    EXPECT_EQ(session->transfer.imageSize, 100u);
}

TEST_F(Selection, SpecialBlockDeviceGetsItsOwnRecord)
{
    AsBlockDevice(0x5111);
    EXPECT_TRUE(Select(Package({{0x3010, 100}, {0x5111, 200, Ver(141)}})));
    EXPECT_EQ(session->transfer.recordOffset, 128u);
    EXPECT_EQ(session->transfer.imageSize, 200u);
    EXPECT_EQ(session->transfer.packageVersionWord, Ver(141));
    EXPECT_EQ(session->HidLink.m_ReadTimeout, 10u);
    EXPECT_TRUE(bus.OutputLog(id).empty());
}

TEST_F(Selection, SpecialBlockDeviceWithoutItsRecordShowsNothing)
{
    AsBlockDevice(0x5111);
    const auto path = Package({{0x3010, 100}, {0x3009, 100}});
    EXPECT_FALSE(Select(path));
    EXPECT_EQ(Refusal(), SelectionRefusal::NoRecord);
    EXPECT_TRUE(view.Messages().empty());
    ExpectNothingStarted();
}

TEST_F(Selection, OrdinaryBlockDeviceTakesTheFirstRecord)
{
    AsBlockDevice(0x3009);
    EXPECT_TRUE(Select(Package({{0x5111, 100}, {0x3009, 200}})));
    EXPECT_EQ(session->transfer.recordOffset, 0u);
    EXPECT_EQ(session->transfer.packageHeader.deviceType, 0x5111u);
    EXPECT_EQ(Texts().size(), 1u) << "the confirmation only";
}

TEST_F(Selection, BlockDeviceHasNoVersionFloor)
{
    AsBlockDevice(0x3009);
    session->device.deviceModel = 261;
    session->device.deviceSubModel = 2;
    EXPECT_TRUE(Select(Package({{0, 100, Ver(100, 1)}})));
}

}  // namespace

// A link no driver speaks for is refused with a line naming its variant:
// never handed to another protocol's driver, nor to an empty list.
TEST_F(Selection, LinkWithoutItsDriverIsRefusedAndNamed)
{
    struct Case {
        std::uint32_t variant;
        bool drivers;
        const char16_t* line;
    };
    for (const Case c : {Case{7, true, u"no protocol driver for variant 7\n"},
                         Case{kProtocolStream, false, u"no protocol driver for variant 0\n"}}) {
        UpdateSession lone(bus, clock, ui, c.drivers ? StandardProtocolDrivers() : ProtocolDrivers{});
        lone.HidLink.ProbeHid();
        lone.HidLink.ProtocolVariant = c.variant;
        lone.Attach();
        EXPECT_FALSE(lone.PrepareUpdate());
        EXPECT_EQ(lone.RunUpdate().outcome, UpdateOutcome::Quiet);
        EXPECT_TRUE(bus.OutputLog(id).empty());
        EXPECT_TRUE(view.Messages().empty());
        EXPECT_TRUE(sink.Contains(c.line)) << c.variant;
    }
}

// inspect's "chosen for" names the record an update of that controller takes.
TEST_F(Selection, InspectNamesTheRecordEachUpdateTakes)
{
    const auto path = Package({{0x5111, 40}, {0, 40}, {0x3010, 40}});
    bool opened = false;
    std::map<std::string, std::int64_t> named;
    for (const InspectedRecord& record : InspectPackage(path, opened))
        for (const std::string& who : record.chosenFor)
            named[who] = record.offset;
    EXPECT_EQ(named, (std::map<std::string, std::int64_t>{
                         {"stream", 0}, {"block (other types)", 0}, {"block type 0x5111", 0},
                         {"block type 0x3010", 136}}));
    struct Case {
        const char* who;
        std::uint32_t variant, type;
    };
    for (const Case c : {Case{"stream", kProtocolStream, 0}, Case{"block (other types)", kProtocolBlock, 0x42},
                         Case{"block type 0x5111", kProtocolBlock, 0x5111},
                         Case{"block type 0x3010", kProtocolBlock, 0x3010}}) {
        session->HidLink.ProtocolVariant = c.variant;
        session->device.currentDeviceType = c.type;
        ASSERT_TRUE(Select(path)) << c.who;
        EXPECT_EQ(session->transfer.recordOffset, named[c.who]) << c.who;
    }
}
