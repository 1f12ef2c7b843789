#pragma once
// Where a catalogue's package lies: its "file" resolved against the
// catalogue's own location (a local path or an http(s) URL).
#include <optional>
#include <string>

// True for an http:// or https:// URL (any case of the scheme).
bool IsHttpUrl(const std::string& location);

// A package file is either an http(s) URL or a relative path of plain
// segments ("fw/pad.dat"): no scheme other than http(s), no leading '/',
// '\\', '?', '#' or ".." segment. Neither may hold a control character.
// nullopt when refused.
std::optional<std::string> ResolvePackageLocation(const std::string& catalogueLocation, const std::string& file);
