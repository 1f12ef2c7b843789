#include "catalogue/package_location.h"

#include <algorithm>
#include <cctype>

namespace {

bool StartsWithNoCase(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) {
               return std::tolower(static_cast<unsigned char>(t)) == p;
           });
}

bool PlainRelativePath(const std::string& file)
{
    if (file.empty() || file.front() == '/' || file.find_first_of("\\?#:") != std::string::npos)
        return false;
    std::size_t start = 0;
    while (start <= file.size()) {
        const std::size_t end = std::min(file.find('/', start), file.size());
        const std::string segment = file.substr(start, end - start);
        if (segment.empty() || segment == "." || segment == "..")
            return false;
        start = end + 1;
    }
    return true;
}

// A control character, NUL above all, would cut the name short where it
// is handed to the system or to libcurl: "a/..\0/b.dat" passes as a plain
// path and is fetched as "a/..".
bool HasControlCharacter(const std::string& file)
{
    return std::any_of(file.begin(), file.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

}  // namespace

bool IsHttpUrl(const std::string& location)
{
    return StartsWithNoCase(location, "http://") || StartsWithNoCase(location, "https://");
}

std::optional<std::string> ResolvePackageLocation(const std::string& catalogueLocation, const std::string& file)
{
    if (HasControlCharacter(file))
        return std::nullopt;
    if (IsHttpUrl(file))
        return file;
    if (!PlainRelativePath(file))
        return std::nullopt;
    std::string base = catalogueLocation;
    if (IsHttpUrl(base)) {
        // The query and fragment of the catalogue's URL are not its folder.
        base = base.substr(0, base.find_first_of("?#"));
        const std::size_t hostStart = base.find("//") + 2;
        if (base.find('/', hostStart) == std::string::npos)
            base += '/';
    }
    const std::size_t slash = base.find_last_of(IsHttpUrl(base) ? "/" : "/\\");
    return (slash == std::string::npos ? std::string() : base.substr(0, slash + 1)) + file;
}
