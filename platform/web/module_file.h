#pragma once
// A whole file of the module's file system, read with stdio: iostreams would
// add their locale machinery to the module the page downloads.
#include <cstdio>
#include <optional>
#include <string>

inline std::optional<std::string> ReadModuleFile(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return std::nullopt;
    std::string bytes;
    char piece[4096];
    for (std::size_t got; (got = std::fread(piece, 1, sizeof piece, file)) > 0;)
        bytes.append(piece, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return std::nullopt;
    return bytes;
}
