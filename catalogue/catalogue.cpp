#include "catalogue/catalogue.h"

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

int HexNibble(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Lists the family does not have are left out.
json BindingJson(const ControllerBinding& b)
{
    json usb = json::array();
    for (const UsbId& id : b.usb)
        usb.push_back(UsbIdText(id));
    json binding = {{"family", FamilyName(b.family)}, {"usb", usb}};
    if (!b.deviceTypes.empty())
        binding["deviceTypes"] = b.deviceTypes;
    if (!b.models.empty())
        binding["models"] = b.models;
    if (!b.subModels.empty())
        binding["subModels"] = b.subModels;
    return binding;
}

}  // namespace

std::string UsbIdText(const UsbId& id)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::uint16_t word : {id.vendorId, id.productId}) {
        if (!text.empty())
            text += ':';
        for (int shift = 12; shift >= 0; shift -= 4)
            text += kDigits[(word >> shift) & 0xF];
    }
    return text;
}

std::optional<UsbId> ParseUsbId(std::string_view text)
{
    if (text.size() != 9 || text[4] != ':')
        return std::nullopt;
    std::uint32_t words[2] = {};
    for (int w = 0; w < 2; ++w)
        for (char c : text.substr(w * 5, 4)) {
            const int v = HexNibble(c);
            if (v < 0)
                return std::nullopt;
            words[w] = words[w] << 4 | static_cast<std::uint32_t>(v);
        }
    return UsbId{static_cast<std::uint16_t>(words[0]), static_cast<std::uint16_t>(words[1])};
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
                            {"channel", ChannelName(e.channel)}, {"date", e.date},
                            {"notes", {{"en", e.notesEn}, {"zh", e.notesZh}}}, {"for", BindingJson(e.binding)},
                            {"records", records}});
    }
    json document = {{"format", kCatalogueFormat}, {"type", kCatalogueType},
                     {"repository", catalogue.repository}, {"version", catalogue.version},
                     {"published", UtcTimeText(catalogue.published)},
                     {"expires", UtcTimeText(catalogue.expires)}, {"packages", packages}};
    for (const SecurityFloor& floor : catalogue.floors)
        document["floors"].push_back({{"for", BindingJson(floor.binding)}, {"version", floor.version}});
    // Invalid UTF-8 in notes is replaced rather than thrown about.
    return document.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
}

bool FloorBindingSound(const ControllerBinding& binding)
{
    return BindingComplete(binding) && binding.models.empty() && binding.subModels.empty();
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
    case CatalogueProblem::WrongType:
        return "the file is not a catalogue (its type says otherwise)";
    case CatalogueProblem::BadHeader:
        return "the catalogue's repository, version or times are missing or not of their kind";
    case CatalogueProblem::TooManyEntries:
        return "the catalogue lists more than " + std::to_string(kMaxCatalogueEntries) + " packages";
    case CatalogueProblem::BadEntry:
        return "a package entry of the catalogue lacks a field or has one of the wrong kind";
    case CatalogueProblem::BadFloor:
        return "the catalogue's security floors are not a list of at most " + std::to_string(kMaxCatalogueFloors) +
               " floors each with a version word and controllers (no stream models)";
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
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const int high = HexNibble(hex[2 * i]);
        const int low = HexNibble(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        digest[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return digest;
}
