#include <filesystem>
#include <random>
#include <system_error>

#include "station/unit_packages.h"

std::optional<std::u16string> UnitCopyOf(const std::u16string& path)
{
    namespace fs = std::filesystem;
    std::random_device random;
    std::error_code error;
    const fs::path copy = fs::temp_directory_path(error) / ("controller-updater-unit-" + std::to_string(random()) +
                                                            "-" + std::to_string(random()) + ".dat");
    if (error || !fs::copy_file(fs::path(path), copy, fs::copy_options::overwrite_existing, error))
        return std::nullopt;
    return copy.u16string();
}
