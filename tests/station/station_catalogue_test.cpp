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

// A folder holding one package with both families' records, listed once per
// family, and the catalogue that lists it.
class CatalogueFolder {
public:
    CatalogueFolder() : m_Dir(fs::path(TestFilePath("_site", "")))
    {
        fs::remove_all(m_Dir);
        fs::create_directories(m_Dir);
        fs::copy_file(fs::path(WriteBothFamiliesPackage()), m_Dir / "both.dat");
    }
    std::string Catalogue() const { return Utf16ToUtf8((m_Dir / "catalogue.json").u16string()); }

    void Publish(std::uint64_t version, UtcSeconds published)
    {
        const std::u16string package = (m_Dir / "both.dat").u16string();
        std::ifstream in(fs::path(package), std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        bool opened = false;
        const auto records = InspectPackage(package, opened);
        ::Catalogue catalogue;
        catalogue.repository = "line";
        catalogue.version = version;
        catalogue.published = published;
        catalogue.expires = published + 90 * kSecondsPerDay;
        for (DemoKind kind : {DemoKind::Stream, DemoKind::Block}) {
            auto entry = MakeCatalogueEntry("both.dat", bytes, records, m_Crypto);
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
    GcryptVerifier crypto;
    CliOptions options;
    options.catalogue = site.Catalogue();
    options.allowUnsigned = true;
    options.catalogueRefreshS = 1;
    std::FILE* sink = std::tmpfile();
    ASSERT_NE(sink, nullptr);
    EventOutput out(false, false, sink, sink);
    StationCatalogue catalogue({nullptr, &crypto, nullptr}, options, SystemClock::Instance(), out);
    int code = 0;
    ASSERT_TRUE(catalogue.Load(code));

    StationRig rig(0, &catalogue);
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
    std::fclose(sink);

    const std::map<std::string, std::uint64_t> expected = {{"5-1", 1}, {"5-2", 1}, {"5-3", 2}, {"5-4", 2}};
    EXPECT_EQ(CatalogueVersionByPort(rig), expected);
    for (const UnitRecord& record : rig.finished) {
        EXPECT_EQ(record.outcome, UnitOutcome::Updated) << record.unit.identity.port << " " << record.reason;
        EXPECT_EQ(record.trace.catalogueRepository, "line");
        EXPECT_EQ(record.trace.packageFile, "both.dat");
        EXPECT_EQ(record.trace.packageSha256.size(), 64u);
    }
}
