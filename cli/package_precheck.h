#pragma once
// What makes a file unusable as a package before any record is read: it is
// missing, a directory, empty or beyond the 2 GiB packages are limited to.
#include <optional>
#include <string>

#include "cli/catalogue_source.h"

// The reason, or nullopt for a file worth reading.
std::optional<std::string> PackageFileProblem(const std::string& path);

// The SHA-256 of a package file, for the station's records; empty when it
// cannot be read (the station's own check then says why) or services has
// no cryptography.
std::string PackageSha256(const CatalogueServices& services, const std::string& package);
