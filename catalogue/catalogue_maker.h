#pragma once
// What `catalogue make` writes for one package, and the notes file that
// adds a channel, date, release notes and the controllers it is for to
// entries by file name:
//   {"pad-1.40.dat": {"channel": "stable", "date": "2026-12-01",
//                     "en": "Fixes ...", "zh": "...",
//                     "for": {"family": "block", "usb": ["5a3c:4c21"], "deviceTypes": [20753]}}}
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/signature_verifier.h"
#include "protocols/package_inspection.h"

// The entry for a package whose records inspect found sound; nullopt for a
// broken one (or one with no record).
std::optional<CatalogueEntry> MakeCatalogueEntry(const std::string& file, std::span<const std::uint8_t> bytes,
                                                 const std::vector<InspectedRecord>& records,
                                                 const ISignatureVerifier& crypto);

// Applies the notes to the entries they name. False, with nothing applied,
// when the notes are not such a JSON object (or exceed the catalogue's size),
// or a "for" in them is not a complete binding.
bool ApplyReleaseNotes(Catalogue& catalogue, std::string_view notes);

// A binding written as a catalogue's "for" (a JSON object's text); nullopt
// unless it is complete.
std::optional<ControllerBinding> ParseBinding(std::string_view json);

// The header of the publication after previous (none: the first of
// repository). The repository given wins over the previous one's; a
// publication needs one.
struct Publication {
    std::string repository;
    std::uint64_t version = 1;
    UtcSeconds published = 0;
    UtcSeconds expires = 0;
};
std::optional<Publication> NextPublication(const std::optional<Catalogue>& previous, const std::string& repository,
                                           UtcSeconds now, std::uint32_t lifetimeDays);
