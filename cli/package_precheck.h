#pragma once
// What makes a file unusable as a package before any record is read: it is
// missing, a directory, empty or beyond the 2 GiB packages are limited to.
#include <optional>
#include <string>

// The reason, or nullopt for a file worth reading.
std::optional<std::string> PackageFileProblem(const std::string& path);
