#include "cli/station_log_file.h"

#include <cerrno>
#include <cstring>

#include "base/file_open.h"
#include "base/utf.h"

#if defined(_WIN32)
#include <io.h>
#define fileno _fileno
#define fsync _commit
#else
#include <unistd.h>
#endif

StationLogFile::~StationLogFile()
{
    if (m_File)
        std::fclose(m_File);
}

bool StationLogFile::Open(const std::string& path, const std::string& header)
{
    m_File = OpenFileU16(Utf8ToUtf16(path), "ab");
    if (!m_File) {
        m_Problem = std::strerror(errno);
        return false;
    }
    return WriteDurably(header);
}

bool StationLogFile::Append(const UnitRecord& record) { return m_File && WriteDurably(m_Format(record)); }

bool StationLogFile::WriteDurably(const std::string& line)
{
    errno = 0;
    if (std::fprintf(m_File, "%s\n", line.c_str()) < 0 || std::fflush(m_File) != 0 || fsync(fileno(m_File)) != 0) {
        m_Problem = std::strerror(errno ? errno : EIO);
        return false;
    }
    return true;
}
