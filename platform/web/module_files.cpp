#include "platform/web/module_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/file_open.h"
#include "base/utf.h"
#include "platform/web/web_host.h"

namespace {

// An open reader holds its own copy: the page may replace the file meanwhile.
struct Reader {
    std::string bytes;
    off_t at = 0;
};

ssize_t ReadFrom(void* cookie, char* into, std::size_t size)
{
    auto& r = *static_cast<Reader*>(cookie);
    const std::size_t left = r.bytes.size() - static_cast<std::size_t>(r.at);
    const std::size_t n = size < left ? size : left;
    std::memcpy(into, r.bytes.data() + r.at, n);
    r.at += static_cast<off_t>(n);
    return static_cast<ssize_t>(n);
}

int SeekIn(void* cookie, off_t* offset, int whence)
{
    auto& r = *static_cast<Reader*>(cookie);
    const off_t end = static_cast<off_t>(r.bytes.size());
    const off_t to = (whence == SEEK_SET ? 0 : whence == SEEK_CUR ? r.at : end) + *offset;
    if (to < 0 || to > end)
        return -1;
    r.at = *offset = to;
    return 0;
}

int CloseReader(void* cookie)
{
    delete static_cast<Reader*>(cookie);
    return 0;
}

}  // namespace

std::optional<std::string> ReadModuleFile(const std::string& path)
{
    const double size = web_file_size(path.c_str());
    if (size < 0)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!bytes.empty())
        web_file_copy(path.c_str(), reinterpret_cast<std::uint8_t*>(bytes.data()));
    return bytes;
}

// The page's module opens the page's files, read only, in place of the
// native definition (base/file_open.cpp, left out of this link).
std::FILE* OpenFileU16(const std::u16string& path, const char* mode)
{
    if (std::strcmp(mode, "rb") != 0 && std::strcmp(mode, "r") != 0) {
        errno = EROFS;
        return nullptr;
    }
    std::optional<std::string> bytes = ReadModuleFile(Utf16ToUtf8(path));
    if (!bytes) {
        errno = ENOENT;
        return nullptr;
    }
    auto* reader = new Reader{std::move(*bytes)};
    std::FILE* file = fopencookie(reader, "rb", {ReadFrom, nullptr, SeekIn, CloseReader});
    if (!file)
        delete reader;
    return file;
}
