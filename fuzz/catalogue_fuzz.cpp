// Fuzz target: the catalogue's parser on an arbitrary file; the input is the
// whole file. A catalogue it accepts keeps the format's limits and reads back
// the same from the text the writer makes of it.
#include <string_view>
#include <tuple>

#include "catalogue/catalogue.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_entry.h"

namespace {

auto Fields(const CatalogueEntry& e)
{
    return std::tie(e.file, e.size, e.sha256, e.channel, e.date, e.notesEn, e.notesZh, e.records);
}

void CheckLimits(const Catalogue& catalogue)
{
    FUZZ_CHECK(catalogue.packages.size() <= kMaxCatalogueEntries);
    for (const CatalogueEntry& entry : catalogue.packages) {
        FUZZ_CHECK(!entry.file.empty());
        FUZZ_CHECK(!entry.records.empty() && entry.records.size() <= kMaxRecordsPerEntry);
    }
}

void CheckRoundTrip(const Catalogue& catalogue)
{
    const CatalogueParse again = ParseCatalogue(CatalogueJson(catalogue));
    FUZZ_CHECK(again.problem == CatalogueProblem::None && again.catalogue);
    const auto& before = catalogue.packages;
    const auto& after = again.catalogue->packages;
    FUZZ_CHECK(after.size() == before.size());
    for (std::size_t i = 0; i < before.size(); ++i)
        FUZZ_CHECK(Fields(after[i]) == Fields(before[i]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const CatalogueParse parse = ParseCatalogue({reinterpret_cast<const char*>(data), size});
    FUZZ_CHECK(parse.catalogue.has_value() == (parse.problem == CatalogueProblem::None));
    FUZZ_CHECK(!CatalogueProblemText(parse.problem).empty());
    if (!parse.catalogue)
        return 0;
    CheckLimits(*parse.catalogue);
    CheckRoundTrip(*parse.catalogue);
    return 0;
}
