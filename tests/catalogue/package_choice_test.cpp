// Which listed packages fit a controller: the binding, the update's record
// lookup, compatibility rule and driver check, and the newest-first order.
#include <gtest/gtest.h>

#include "catalogue/package_choice.h"
#include "hid/hid.h"

namespace {

PackageHeader Record(std::uint32_t type, std::uint32_t version, std::uint32_t revision = 0)
{
    PackageHeader h;
    h.deviceType = type;
    h.desVersion = version;
    h.revision = revision;
    h.imageSize = 64;
    return h;
}

constexpr UsbId kStreamPad{0x0483, 0x5750};
constexpr UsbId kBlockPad{0x5A3C, 0x4C21};
const ControllerBinding kForStream{kProtocolStream, {kStreamPad}, {}, {}, {}};

ControllerBinding ForBlock(std::vector<std::uint32_t> types) { return {kProtocolBlock, {kBlockPad}, std::move(types), {}, {}}; }

CatalogueEntry Listed(const std::string& file, std::vector<PackageHeader> records, Channel channel = Channel::Stable,
                      const ControllerBinding& binding = kForStream)
{
    CatalogueEntry e;
    e.file = file;
    e.channel = channel;
    e.records = std::move(records);
    e.binding = binding;
    return e;
}

constexpr std::uint32_t kBeta2Of502 = 2u << 16 | 502;

ControllerFacts Stream(std::uint16_t model, std::uint8_t subModel, std::uint32_t running = 137)
{
    ControllerFacts f;
    f.protocolVariant = kProtocolStream;
    f.usb = kStreamPad;
    f.device.deviceModel = model;
    f.device.deviceSubModel = subModel;
    f.device.cur_devVersion = running;
    return f;
}

ControllerFacts Block(std::uint32_t type, std::uint32_t running = 137)
{
    ControllerFacts f;
    f.protocolVariant = kProtocolBlock;
    f.usb = kBlockPad;
    f.device.currentDeviceType = type;
    f.device.cur_devVersion = running;
    return f;
}

std::vector<std::string> Files(const std::vector<FittingPackage>& packages)
{
    std::vector<std::string> files;
    for (const FittingPackage& p : packages)
        files.push_back(p.entry->file);
    return files;
}

TEST(PackageChoice, FollowsTheUpdatesRules)
{
    Catalogue c;
    c.packages = {
        Listed("stream-140.dat", {Record(0, 140)}),
        Listed("stream-503.dat", {Record(0, 503)}),
        Listed("stream-502b2.dat", {Record(0, kBeta2Of502)}, Channel::Beta),
        Listed("stream-502r1.dat", {Record(0, 502, 1)}),
        Listed("block-5111.dat", {Record(0x3010, 150), Record(0x5111, 141), Record(0, 160)}, Channel::Stable,
               ForBlock({0x5111, 0x3010, 0x6006})),
        Listed("block-generic.dat", {Record(0, 170)}, Channel::Stable, ForBlock({0x3009})),
        Listed("empty-image.dat", {[] { auto h = Record(0, 999); h.imageSize = 0; return h; }()}),
    };
    struct Case {
        const char* name;
        ControllerFacts facts;
        bool beta;
        std::vector<std::string> expected;
    } cases[] = {
        {"a stream controller gets stream packages only", Stream(100, 0), false,
         {"stream-503.dat", "stream-502r1.dat", "stream-140.dat"}},
        {"model 261/2 refuses below 5.02 and its betas", Stream(261, 2), true, {"stream-503.dat", "stream-502r1.dat"}},
        {"a beta before its release", Stream(100, 0), true,
         {"stream-503.dat", "stream-502r1.dat", "stream-502b2.dat", "stream-140.dat"}},
        {"a stream controller of another USB id", [] { auto f = Stream(100, 0); f.usb = {0x5A3C, 0x5750}; return f; }(),
         false, {}},
        {"a special type takes its own record only", Block(0x5111), false, {"block-5111.dat"}},
        {"an ordinary type gets its own binding only", Block(0x3009), false, {"block-generic.dat"}},
        {"a type no binding names gets nothing", Block(0x1234), false, {}},
        {"a special type without a record gets nothing", Block(0x6006), false, {}},
    };
    for (const Case& k : cases)
        EXPECT_EQ(Files(FittingPackages(c, k.facts, k.beta)), k.expected) << k.name;
    const auto special = FittingPackages(c, Block(0x5111), false);
    ASSERT_EQ(special.size(), 1u);
    EXPECT_EQ(special[0].record.desVersion, 141u);
}

TEST(PackageChoice, LeavesOutWhatIsBelowTheSecurityFloor)
{
    Catalogue c;
    c.packages = {
        Listed("stream-140.dat", {Record(0, 140)}),
        Listed("stream-502b2.dat", {Record(0, kBeta2Of502)}, Channel::Beta),
        Listed("stream-502r1.dat", {Record(0, 502, 1)}),
        Listed("block-141.dat", {Record(0, 141)}, Channel::Stable, ForBlock({0x3009, 0x1234})),
    };
    // The highest floor covering a controller is its floor, in any order.
    c.floors = {{kForStream, 502}, {kForStream, 140}, {ForBlock({0x3009}), 150}};
    struct Case {
        const char* name;
        ControllerFacts facts;
        BelowFloor below;
        std::vector<std::string> expected;
    } cases[] = {
        {"below the highest floor, betas of it too", Stream(100, 0), BelowFloor::Left, {"stream-502r1.dat"}},
        {"kept on the operator's word", Stream(100, 0), BelowFloor::Kept,
         {"stream-502r1.dat", "stream-502b2.dat", "stream-140.dat"}},
        {"a floor for another type", Block(0x1234), BelowFloor::Left, {"block-141.dat"}},
        {"a floor for this type", Block(0x3009), BelowFloor::Left, {}},
    };
    for (const Case& k : cases)
        EXPECT_EQ(Files(FittingPackages(c, k.facts, true, k.below)), k.expected) << k.name;
    EXPECT_EQ(SecurityFloorFor(c, Stream(100, 0)), 502u);
}

TEST(PackageChoice, OffersOnlyWhatIsNewer)
{
    FittingPackage p{nullptr, Record(0, 140)};
    EXPECT_TRUE(UpdateAvailable(Stream(1, 0, 137).device, p));
    EXPECT_FALSE(UpdateAvailable(Stream(1, 0, 140).device, p));
    EXPECT_TRUE(UpdateAvailable(Stream(1, 0, kNoFirmwareVersion).device, p));
    // The release is newer than its own betas.
    EXPECT_TRUE(UpdateAvailable(Stream(1, 0, 3u << 16 | 140).device, p));
}

TEST(PackageChoice, NamesVersionsAsTheyAreTyped)
{
    Catalogue c;
    c.packages = {Listed("r1", {Record(0, 140, 1)}), Listed("r3", {Record(0, 140, 3)}),
                  Listed("b", {Record(0, 2u << 16 | 141)}, Channel::Beta)};
    const auto fitting = FittingPackages(c, Stream(1, 0), true);
    EXPECT_EQ(VersionLabel(fitting[0].record), "1.41b2");
    EXPECT_EQ(PackageNamed(fitting, "1.40")->entry->file, "r3");
    EXPECT_EQ(PackageNamed(fitting, "1.40r1")->entry->file, "r1");
    EXPECT_FALSE(PackageNamed(fitting, "1.39"));
    // Written as the confirmation writes it.
    EXPECT_EQ(VersionLabel(Record(0, 140, 0xFFFFFFFFu)), "1.40r-1");
    // A floor's version is typed as a label without revision, just so.
    EXPECT_EQ(ParseVersionWord("1.41b2"), 2u << 16 | 141);
    for (const char* label : {"1.4", "1.40b0", "1.40r3", "01.40", "655.36", "1.40b", ".40", "1.40b70000"})
        EXPECT_FALSE(ParseVersionWord(label)) << label;
}

}  // namespace
