#include "catalogue/catalogue.h"

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

}  // namespace

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
                            {"channel", ChannelName(e.channel)}, {"date", e.date},
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
