#pragma once
// What `catalogue make` writes for one package, and the notes file that
// adds a channel, date and release notes to entries by file name:
//   {"pad-1.40.dat": {"channel": "stable", "date": "2026-12-01",
//                     "en": "Fixes ...", "zh": "..."}}
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
// when the notes are not such a JSON object (or exceed the catalogue's size).
bool ApplyReleaseNotes(Catalogue& catalogue, std::string_view notes);
