#include "catalogue/catalogue.h"

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

// The format nests four deep (top, packages, entry, records / notes, record).
constexpr int kMaxNesting = 6;

constexpr const char* kStable = "stable";
constexpr const char* kBeta = "beta";

// nlohmann's parser recurses per level: a file of nested brackets would
// exhaust the stack before any size rule applied.
bool NestingWithin(std::string_view text, int limit)
{
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit)
                return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

std::optional<std::uint32_t> Word(const json& object, const char* key)
{
    const auto it = object.find(key);
    if (it == object.end() || !it->is_number_unsigned() || it->get<std::uint64_t>() > UINT32_MAX)
        return std::nullopt;
    return static_cast<std::uint32_t>(it->get<std::uint64_t>());
}

std::optional<std::string> Text(const json& object, const char* key)
{
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string())
        return std::nullopt;
    return it->get<std::string>();
}

std::optional<PackageHeader> ReadRecord(const json& r)
{
    if (!r.is_object())
        return std::nullopt;
    const auto type = Word(r, "deviceType");
    const auto version = Word(r, "desVersion");
    const auto revision = Word(r, "revision");
    const auto address = Word(r, "imageAddress");
    const auto size = Word(r, "imageSize");
    if (!type || !version || !revision || !address || !size)
        return std::nullopt;
    PackageHeader h;
    h.deviceType = *type;
    h.desVersion = *version;
    h.revision = *revision;
    h.imageAddress = *address;
    h.imageSize = *size;
    return h;
}

std::optional<CatalogueEntry> ReadEntry(const json& e)
{
    if (!e.is_object())
        return std::nullopt;
    CatalogueEntry entry;
    const auto file = Text(e, "file");
    const auto sha = Text(e, "sha256");
    const auto channel = Text(e, "channel");
    const auto size = e.find("size");
    const auto records = e.find("records");
    if (!file || file->empty() || !sha || !channel || size == e.end() || !size->is_number_unsigned() ||
        records == e.end() || !records->is_array() || records->empty() || records->size() > kMaxRecordsPerEntry)
        return std::nullopt;
    const auto digest = ParseSha256Hex(*sha);
    if (!digest || (*channel != kStable && *channel != kBeta))
        return std::nullopt;
    entry.file = *file;
    entry.size = size->get<std::uint64_t>();
    entry.sha256 = *digest;
    entry.channel = *channel == kBeta ? Channel::Beta : Channel::Stable;
    entry.date = Text(e, "date").value_or("");
    if (const auto notes = e.find("notes"); notes != e.end() && notes->is_object()) {
        entry.notesEn = Text(*notes, "en").value_or("");
        entry.notesZh = Text(*notes, "zh").value_or("");
    }
    for (const json& r : *records) {
        const auto header = ReadRecord(r);
        if (!header)
            return std::nullopt;
        entry.records.push_back(*header);
    }
    return entry;
}

CatalogueParse Problem(CatalogueProblem problem, std::size_t entry = 0)
{
    CatalogueParse parse;
    parse.problem = problem;
    parse.badEntry = entry;
    return parse;
}

}  // namespace

CatalogueParse ParseCatalogue(std::string_view text)
{
    if (text.size() > kMaxCatalogueBytes)
        return Problem(CatalogueProblem::TooLarge);
    if (!NestingWithin(text, kMaxNesting))
        return Problem(CatalogueProblem::TooDeep);
    const json document = json::parse(text.begin(), text.end(), nullptr, false);
    if (document.is_discarded() || !document.is_object())
        return Problem(CatalogueProblem::Malformed);
    const auto format = Word(document, "format");
    if (!format || *format != kCatalogueFormat)
        return Problem(CatalogueProblem::UnknownFormat);
    const auto packages = document.find("packages");
    if (packages == document.end() || !packages->is_array())
        return Problem(CatalogueProblem::Malformed);
    if (packages->size() > kMaxCatalogueEntries)
        return Problem(CatalogueProblem::TooManyEntries);
    Catalogue catalogue;
    catalogue.packages.reserve(packages->size());
    for (std::size_t i = 0; i < packages->size(); ++i) {
        auto entry = ReadEntry((*packages)[i]);
        if (!entry)
            return Problem(CatalogueProblem::BadEntry, i);
        catalogue.packages.push_back(std::move(*entry));
    }
    CatalogueParse parse;
    parse.catalogue = std::move(catalogue);
    return parse;
}

std::string CatalogueJson(const Catalogue& catalogue)
{
    json packages = json::array();
    for (const CatalogueEntry& e : catalogue.packages) {
        json records = json::array();
        for (const PackageHeader& h : e.records)
            records.push_back({{"deviceType", h.deviceType}, {"desVersion", h.desVersion},
                               {"revision", h.revision}, {"imageAddress", h.imageAddress},
                               {"imageSize", h.imageSize}});
        packages.push_back({{"file", e.file}, {"size", e.size}, {"sha256", Sha256Hex(e.sha256)},
                            {"channel", e.channel == Channel::Beta ? kBeta : kStable}, {"date", e.date},
                            {"notes", {{"en", e.notesEn}, {"zh", e.notesZh}}}, {"records", records}});
    }
    const json document = {{"format", kCatalogueFormat}, {"packages", packages}};
    // Invalid UTF-8 in notes is replaced rather than thrown about.
    return document.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string CatalogueProblemText(CatalogueProblem problem)
{
    switch (problem) {
    case CatalogueProblem::None:
        return "the catalogue is sound";
    case CatalogueProblem::TooLarge:
        return "the catalogue is larger than the " + std::to_string(kMaxCatalogueBytes >> 20) +
               " MiB a catalogue may have";
    case CatalogueProblem::TooDeep:
        return "the catalogue nests deeper than its format";
    case CatalogueProblem::Malformed:
        return "the catalogue is not valid JSON of a catalogue";
    case CatalogueProblem::UnknownFormat:
        return "the catalogue's format number is not one this program reads";
    case CatalogueProblem::TooManyEntries:
        return "the catalogue lists more than " + std::to_string(kMaxCatalogueEntries) + " packages";
    case CatalogueProblem::BadEntry:
        return "a package entry of the catalogue lacks a field or has one of the wrong kind";
    }
    return {};
}

std::string Sha256Hex(const Sha256Digest& digest)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (std::uint8_t b : digest) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0xF];
    }
    return hex;
}

std::optional<Sha256Digest> ParseSha256Hex(std::string_view hex)
{
    Sha256Digest digest{};
    if (hex.size() != digest.size() * 2)
        return std::nullopt;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const int high = nibble(hex[2 * i]);
        const int low = nibble(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        digest[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return digest;
}
