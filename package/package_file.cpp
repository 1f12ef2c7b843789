#include "package/package_file.h"

#include <limits>
#include <utility>

#ifdef _WIN32
#include <share.h>
#endif

#include "base/utf.h"

namespace {

#ifdef _WIN32
std::wstring ToWide(const std::u16string& text)
{
    return std::wstring(text.begin(), text.end());
}
#endif

// Opens with no sharing where the C library offers sharing modes.
std::FILE* OpenDenyAll(const std::u16string& path)
{
#ifdef _WIN32
    return _wfsopen(ToWide(path).c_str(), L"rb", _SH_DENYRW);
#else
    return OpenFileU16(path, "rb");
#endif
}

bool SeekTo(std::FILE* file, std::int64_t offset, int origin)
{
#ifdef _WIN32
    return _fseeki64(file, offset, origin) == 0;
#else
    if (offset > std::numeric_limits<long>::max())
        return false;
    return std::fseek(file, static_cast<long>(offset), origin) == 0;
#endif
}

std::int64_t Tell(std::FILE* file)
{
#ifdef _WIN32
    return _ftelli64(file);
#else
    return std::ftell(file);
#endif
}

}  // namespace

PackageFile::~PackageFile()
{
    Close();
}

PackageFile::PackageFile(PackageFile&& other) noexcept
    : m_File(std::exchange(other.m_File, nullptr)),
      m_ReadFailed(std::exchange(other.m_ReadFailed, false))
{
}

PackageFile& PackageFile::operator=(PackageFile&& other) noexcept
{
    if (this != &other) {
        Close();
        m_File = std::exchange(other.m_File, nullptr);
        m_ReadFailed = std::exchange(other.m_ReadFailed, false);
    }
    return *this;
}

bool PackageFile::Open(const std::u16string& path)
{
    Close();
    m_File = OpenFileU16(path, "rb");
    return m_File != nullptr;
}

bool PackageFile::OpenExclusive(const std::u16string& path)
{
    Close();
    m_File = OpenDenyAll(path);
    return m_File != nullptr;
}

void PackageFile::Close()
{
    if (m_File)
        std::fclose(m_File);
    m_File = nullptr;
    m_ReadFailed = false;
}

bool PackageFile::Seek(std::int64_t offset)
{
    return m_File && offset >= 0 && SeekTo(m_File, offset, SEEK_SET);
}

std::size_t PackageFile::Read(std::uint8_t* dst, std::size_t n)
{
    if (!m_File) {
        m_ReadFailed = true;
        return 0;
    }
    std::clearerr(m_File);
    const std::size_t got = n == 0 ? 0 : std::fread(dst, 1, n, m_File);
    m_ReadFailed = std::ferror(m_File) != 0;
    return got;
}

std::int64_t PackageFile::Length()
{
    if (!m_File)
        return -1;
    const std::int64_t here = Tell(m_File);
    if (here < 0 || !SeekTo(m_File, 0, SEEK_END))
        return -1;
    const std::int64_t end = Tell(m_File);
    if (!SeekTo(m_File, here, SEEK_SET))
        return -1;
    return end;
}
