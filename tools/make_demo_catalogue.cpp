// Writes the demo mode's catalogue: one entry per demo package, beside them,
// each bound to its family's demo controllers. It never expires within the
// life of a build: the demo is no channel anyone publishes to. Its version is
// the build's time, so a page that remembers one build's demo catalogue
// takes the next build's (other packages, same version, would be refused).
// The SHA-256 of each comes from the build (no cryptography in this tool):
//   make_demo_catalogue OUT.json PACKAGE SHA256 [PACKAGE SHA256 ...]
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/utf.h"
#include "catalogue/build_floors.h"
#include "catalogue/catalogue.h"
#include "catalogue/package_check.h"
#include "protocols/package_inspection.h"
#include "sim/demo_setup.h"

namespace {

constexpr const char* kDate = "2026-12-01";
constexpr const char* kPublished = "2026-12-01T00:00:00Z";
constexpr const char* kExpires = "2099-12-31T00:00:00Z";
constexpr const char* kNotesEn = "Demo firmware: smoother sticks and a quieter rumble motor.";
constexpr const char* kNotesZh = "演示固件：摇杆更顺滑，振动马达更安静。";

std::optional<CatalogueEntry> Entry(const std::string& path, const char* sha256)
{
    std::ifstream file(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    bool opened = false;
    const std::vector<InspectedRecord> records = InspectPackage(Utf8ToUtf16(path), opened);
    const auto digest = ParseSha256Hex(sha256);
    if (!opened || !digest || records.empty())
        return std::nullopt;
    CatalogueEntry entry;
    entry.file = path.substr(path.find_last_of('/') + 1);
    const auto kind = entry.file == Utf16ToUtf8(DemoPackageName(DemoKind::Block)) ? DemoKind::Block : DemoKind::Stream;
    entry.binding = DemoBinding(kind);
    entry.size = bytes.size();
    entry.sha256 = *digest;
    entry.date = kDate;
    entry.notesEn = kNotesEn;
    entry.notesZh = kNotesZh;
    for (const InspectedRecord& r : records)
        entry.records.push_back(ListedFields(r.header));
    return entry;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4 || argc % 2 != 0) {
        std::fprintf(stderr, "usage: make_demo_catalogue OUT.json PACKAGE SHA256 [PACKAGE SHA256 ...]\n");
        return 2;
    }
    Catalogue catalogue;
    catalogue.repository = "demo";
    catalogue.version = static_cast<std::uint64_t>(kBuildTime);
    catalogue.published = *ParseUtcTime(kPublished);
    catalogue.expires = *ParseUtcTime(kExpires);
    for (int i = 2; i + 1 < argc; i += 2) {
        auto entry = Entry(argv[i], argv[i + 1]);
        if (!entry) {
            std::fprintf(stderr, "make_demo_catalogue: cannot list %s\n", argv[i]);
            return 1;
        }
        catalogue.packages.push_back(std::move(*entry));
    }
    std::ofstream out(argv[1], std::ios::binary);
    out << CatalogueJson(catalogue);
    return out ? 0 : 1;
}
