#include "catalogue/package_check.h"

#include <algorithm>

PackageHeader ListedFields(const PackageHeader& header)
{
    PackageHeader listed;
    listed.deviceType = header.deviceType;
    listed.desVersion = header.desVersion;
    listed.revision = header.revision;
    listed.imageAddress = header.imageAddress;
    listed.imageSize = header.imageSize;
    return listed;
}

PackageMismatch CheckDownloadedPackage(std::span<const std::uint8_t> bytes,
                                       const std::vector<InspectedRecord>& saved, const CatalogueEntry& entry,
                                       const ISignatureVerifier& crypto)
{
    if (bytes.size() != entry.size)
        return PackageMismatch::Size;
    if (crypto.Sha256(bytes) != entry.sha256)
        return PackageMismatch::Hash;
    if (saved.empty() || std::any_of(saved.begin(), saved.end(), [](const InspectedRecord& r) {
            return !r.headerRead || r.problem != RecordProblem::None;
        }))
        return PackageMismatch::Broken;
    const bool same = std::equal(saved.begin(), saved.end(), entry.records.begin(), entry.records.end(),
                                 [](const InspectedRecord& r, const PackageHeader& listed) {
                                     return ListedFields(r.header) == ListedFields(listed);
                                 });
    return same ? PackageMismatch::None : PackageMismatch::Records;
}

std::string PackageMismatchText(PackageMismatch mismatch)
{
    const std::string prefix = "the package does not match the catalogue";
    switch (mismatch) {
    case PackageMismatch::None:
        return "the package matches the catalogue";
    case PackageMismatch::Size:
        return prefix + " (its size differs)";
    case PackageMismatch::Hash:
        return prefix + " (its SHA-256 differs)";
    case PackageMismatch::Records:
        return prefix + " (its records differ from the listing)";
    case PackageMismatch::Broken:
        return "the package is broken: a record fails the package checks";
    }
    return {};
}
