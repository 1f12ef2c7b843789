#pragma once
// The checks a downloaded package passes before the update may read it: the
// catalogue's size and SHA-256 (the signature's trust carried down), records
// that match the listing, and every check of a loose package. The update's
// own selection then runs on the file as for any package.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/signature_verifier.h"
#include "protocols/package_inspection.h"

enum class PackageMismatch {
    None,
    Size,     // not the catalogue's size
    Hash,     // not the catalogue's SHA-256
    Records,  // its records are not those listed
    Broken,   // a record a loose package would be refused for
};

// Size and hash of the bytes; Records and Broken from the records read
// from them (InspectPackage of the file they were saved to).
PackageMismatch CheckDownloadedPackage(std::span<const std::uint8_t> bytes,
                                       const std::vector<InspectedRecord>& saved, const CatalogueEntry& entry,
                                       const ISignatureVerifier& crypto);

// The listed fields of a header (what `inspect` reads and a listing holds).
PackageHeader ListedFields(const PackageHeader& header);

// Words for a user: "the package does not match the catalogue (its SHA-256 differs)".
std::string PackageMismatchText(PackageMismatch mismatch);
