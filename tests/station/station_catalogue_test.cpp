// The station fed by a catalogue in a local folder that is published again
// while the station runs.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "base/utf.h"
#include "catalogue/catalogue_maker.h"
#include "cli/station_catalogue.h"
#include "cli/wall_clock.h"
#include "platform/gcrypt/gcrypt_verifier.h"
#include "protocols/package_inspection.h"
#include "station/station_rig.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kOneRefresh = 1100;  // ms: past a refresh of 1 s

const char* PackageOf(DemoKind kind) { return kind == DemoKind::Stream ? "stream.dat" : "block.dat"; }

// A folder holding each family's package and the catalogue that lists them.
class CatalogueFolder {
public:
    CatalogueFolder() : m_Dir(fs::path(TestFilePath("_site", "")))
    {
        fs::remove_all(m_Dir);
        fs::create_directories(m_Dir);
        EXPECT_TRUE(WritePackageFile((m_Dir / PackageOf(DemoKind::Stream)).u16string(), DemoStreamPackage()));
        EXPECT_TRUE(WritePackageFile((m_Dir / PackageOf(DemoKind::Block)).u16string(), DemoBlockPackage()));
    }
    std::string Catalogue() const { return Utf16ToUtf8((m_Dir / "catalogue.json").u16string()); }

    void Publish(std::uint64_t version, UtcSeconds published)
    {
        ::Catalogue catalogue;
        catalogue.repository = "line";
        catalogue.version = version;
        catalogue.published = published;
        catalogue.expires = published + 90 * kSecondsPerDay;
        for (DemoKind kind : {DemoKind::Stream, DemoKind::Block}) {
            const std::u16string package = (m_Dir / PackageOf(kind)).u16string();
            std::ifstream in(fs::path(package), std::ios::binary);
            const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
            bool opened = false;
            auto entry = MakeCatalogueEntry(PackageOf(kind), bytes, InspectPackage(package, opened), m_Crypto);
            ASSERT_TRUE(entry);
            entry->binding = DemoBinding(kind);
            catalogue.packages.push_back(*entry);
        }
        std::ofstream(fs::path(Catalogue()), std::ios::binary | std::ios::trunc) << CatalogueJson(catalogue);
    }

private:
    GcryptVerifier m_Crypto;
    fs::path m_Dir;
};

// A station catalogue over site's catalogue.json, refreshed every second.
struct CatalogueRun {
    explicit CatalogueRun(const CatalogueFolder& site) : options(Options(site)) {}
    static CliOptions Options(const CatalogueFolder& site)
    {
        CliOptions options;
        options.catalogue = site.Catalogue();
        options.allowUnsigned = true;
        options.catalogueRefreshS = 1;
        return options;
    }
    ~CatalogueRun() { std::fclose(sink); }
    bool Load()
    {
        int code = 0;
        return catalogue.Load(code);
    }

    GcryptVerifier crypto;
    CliOptions options;
    std::FILE* sink = std::tmpfile();
    EventOutput out{false, false, sink, sink};
    StationCatalogue catalogue{{nullptr, &crypto, nullptr}, options, SystemClock::Instance(), out};
};

std::map<std::string, std::uint64_t> CatalogueVersionByPort(const StationRig& rig)
{
    std::map<std::string, std::uint64_t> versions;
    for (const UnitRecord& record : rig.finished)
        versions[record.unit.identity.port] = record.trace.catalogueVersion;
    return versions;
}

}  // namespace

TEST(StationCatalogue, EachFamilyGetsItsPackageAndOnlyANewerPublicationIsTakenMidRun)
{
    CatalogueFolder site;
    const UtcSeconds now = WallClockNow();
    site.Publish(1, now - 60);
    CatalogueRun run(site);
    ASSERT_TRUE(run.Load());

    StationRig rig(0, &run.catalogue);
    rig.fleet.Plug("5-1", {DemoKind::Stream, ""});
    rig.fleet.Plug("5-2", {DemoKind::Block, ""});
    rig.Start();
    ASSERT_TRUE(rig.WaitFinished(2));
    site.Publish(2, now - 30);
    std::this_thread::sleep_for(std::chrono::milliseconds(kOneRefresh));
    rig.fleet.Plug("5-3", {DemoKind::Block, ""});
    ASSERT_TRUE(rig.WaitFinishedOn("5-3"));
    site.Publish(1, now);  // an older one served again
    std::this_thread::sleep_for(std::chrono::milliseconds(kOneRefresh));
    rig.fleet.Plug("5-4", {DemoKind::Stream, ""});
    ASSERT_TRUE(rig.WaitFinishedOn("5-4"));
    rig.Stop();

    const std::map<std::string, std::uint64_t> expected = {{"5-1", 1}, {"5-2", 1}, {"5-3", 2}, {"5-4", 2}};
    EXPECT_EQ(CatalogueVersionByPort(rig), expected);
    for (const UnitRecord& record : rig.finished) {
        EXPECT_EQ(record.outcome, UnitOutcome::Updated) << record.unit.identity.port << " " << record.reason;
        EXPECT_EQ(record.trace.catalogueRepository, "line");
        EXPECT_EQ(record.trace.packageSha256.size(), 64u);
    }
}

TEST(StationCatalogue, ThirtyTwoUnitsOfBothFamiliesEachGetTheirFamilysPackageOnce)
{
    CatalogueFolder site;
    site.Publish(3, WallClockNow());
    CatalogueRun run(site);
    ASSERT_TRUE(run.Load());
    StationRig rig(0, &run.catalogue);
    constexpr int kUnits = 32;
    const std::uint64_t start = SystemClock::Instance().NowMs() + 50;
    std::map<std::string, std::string> expected;
    for (int i = 0; i < kUnits; ++i) {
        const DemoKind kind = i % 2 ? DemoKind::Block : DemoKind::Stream;
        const std::string port = "6-" + std::to_string(i + 1);
        expected[port] = PackageOf(kind);
        rig.fleet.At(start + 40u * static_cast<unsigned>(i), [&rig, port, kind] { rig.fleet.Plug(port, {kind, ""}); });
    }
    rig.Start();
    ASSERT_TRUE(rig.WaitFinished(kUnits));
    std::this_thread::sleep_for(kSettle);
    rig.Stop();

    std::map<std::string, std::string> given;
    for (const UnitRecord& record : rig.finished) {
        EXPECT_EQ(record.outcome, UnitOutcome::Updated) << record.unit.identity.port << " " << record.reason;
        EXPECT_TRUE(given.emplace(record.unit.identity.port, record.trace.packageFile).second)
            << record.unit.identity.port << " counted twice";
    }
    EXPECT_EQ(given, expected);
}
