#include "cli/package_precheck.h"

#include <cstdint>
#include <filesystem>
#include <system_error>

#include "base/utf.h"

std::optional<std::string> PackageFileProblem(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path file(Utf8ToUtf16(path));
    const fs::file_status status = fs::status(file, error);
    if (error || !fs::exists(status))
        return path + ": no such file";
    if (fs::is_directory(status))
        return path + ": is a directory, not a package";
    if (!fs::is_regular_file(status))
        return path + ": is not a regular file";
    const std::uintmax_t size = fs::file_size(file, error);
    if (error)
        return path + ": cannot be read (" + error.message() + ")";
    if (size == 0)
        return path + ": is empty (0 bytes)";
    if (size > INT32_MAX)
        return path + ": is larger than the 2 GiB a package may have";
    return std::nullopt;
}

std::string PackageSha256(const CatalogueServices& services, const std::string& package)
{
    if (services.crypto == nullptr || package.empty())
        return {};
    const StopSignal never;
    const FetchResult read = FetchLocation({}, package, kMaxDownloadBytes, {never});
    return read.problem == FetchProblem::None ? Sha256Hex(services.crypto->Sha256(read.body)) : std::string();
}
