#pragma once
// The firmware catalogue: a JSON file listing the packages a maintainer
// publishes, with each package's size, SHA-256, records and the controllers
// it is for, so a front end can tell which packages fit a controller before
// downloading any. The header makes a publication one of a numbered series
// with a lifetime, so an old or frozen one can be told from the current one.
//
//   {"format": 2, "type": "catalogue", "repository": "pads", "version": 7,
//    "published": "2026-12-01T00:00:00Z", "expires": "2027-03-01T00:00:00Z",
//    "packages": [{"file": "fw/pad-1.40.dat", "size": 40056,
//     "sha256": "<64 hex digits>", "channel": "stable", "date": "2026-12-01",
//     "notes": {"en": "...", "zh": "..."},
//     "for": {"family": "block", "usb": ["5a3c:4c21"], "deviceTypes": [20753]},
//     "records": [{"deviceType": 20753, "desVersion": 140, "revision": 3,
//                  "imageAddress": 16875520, "imageSize": 40000}]}]}
//
// "for" of a stream package: {"family": "stream", "usb": [...]} and,
// optionally, "models" and "subModels" (the controller tells them once an
// update has begun).
//
// The header may set security floors: no package below a controller's
// floor is installed from the catalogue (cli `--allow-below-floor` aside):
//   "floors": [{"for": {"family": "block", "usb": ["5a3c:4c21"],
//                       "deviceTypes": [20753]}, "version": 140}]
// "version" is a version word as records' desVersion; a controller's floor
// is the highest of those whose "for" covers it. A floor's "for" names no
// stream models: the package is chosen before the controller tells them.
//
// Parsing is bounded: larger files, more entries or deeper nesting than the
// limits below are refused before any entry is read.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/utc_time.h"
#include "engine/controller_binding.h"
#include "package/package_header.h"

inline constexpr int kCatalogueFormat = 2;
inline constexpr const char* kCatalogueType = "catalogue";
inline constexpr std::size_t kMaxCatalogueBytes = 4u << 20;
inline constexpr std::size_t kMaxCatalogueEntries = 10000;
inline constexpr std::size_t kMaxRecordsPerEntry = 64;
inline constexpr std::size_t kMaxCatalogueFloors = 64;

using Sha256Digest = std::array<std::uint8_t, 32>;

enum class Channel { Stable, Beta };

// The channel as the catalogue writes it.
constexpr const char* ChannelName(Channel channel) { return channel == Channel::Beta ? "beta" : "stable"; }

struct CatalogueEntry {
    std::string file;  // relative to the catalogue, or an http(s) URL
    std::uint64_t size = 0;
    Sha256Digest sha256{};
    Channel channel = Channel::Stable;
    std::string date;
    std::string notesEn;
    std::string notesZh;
    ControllerBinding binding;  // complete in every entry read
    // Only the fields a record lookup and the rules read; reserved words are 0.
    std::vector<PackageHeader> records;
};

struct SecurityFloor {
    ControllerBinding binding;  // complete, and without models or sub-models
    std::uint32_t version = 0;  // a version word, as a record's desVersion
    bool operator==(const SecurityFloor&) const = default;
};

struct Catalogue {
    std::string repository;    // the publisher's name for the series
    std::uint64_t version = 0;  // one more with each publication
    UtcSeconds published = 0;
    UtcSeconds expires = 0;
    std::vector<CatalogueEntry> packages;
    std::vector<SecurityFloor> floors;
};

enum class CatalogueProblem {
    None,
    TooLarge,       // more than kMaxCatalogueBytes
    TooDeep,        // nesting beyond what the format has
    Malformed,      // not JSON
    UnknownFormat,  // a format number this program does not read
    WrongType,      // another kind of file (a key list, ...)
    BadHeader,      // repository, version or times missing or of the wrong kind
    TooManyEntries,
    BadEntry,       // a field missing or of the wrong kind
    BadFloor,       // "floors" not a list, too long, or one of them unsound
};

struct CatalogueParse {
    std::optional<Catalogue> catalogue;  // set exactly when problem is None
    CatalogueProblem problem = CatalogueProblem::None;
    std::size_t badEntry = 0;  // index of the entry, with BadEntry
};

CatalogueParse ParseCatalogue(std::string_view text);
// True when binding may be a floor's: complete, and naming no stream models.
bool FloorBindingSound(const ControllerBinding& binding);

// The catalogue as its JSON text (what `catalogue make` writes).
std::string CatalogueJson(const Catalogue& catalogue);

// Words for a user: "the catalogue is not valid JSON".
std::string CatalogueProblemText(CatalogueProblem problem);

std::string Sha256Hex(const Sha256Digest& digest);
// "5a3c:4c21" both ways; ParseUsbId takes either case.
std::string UsbIdText(const UsbId& id);
std::optional<UsbId> ParseUsbId(std::string_view text);
std::optional<Sha256Digest> ParseSha256Hex(std::string_view hex);
