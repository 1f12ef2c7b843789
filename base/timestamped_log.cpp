#include "base/timestamped_log.h"

#include <chrono>
#include <ctime>

#include "base/file_open.h"
#include "base/utf.h"

TimestampedLog::~TimestampedLog()
{
    if (m_File)
        std::fclose(m_File);
}

bool TimestampedLog::Open(const std::string& path)
{
    m_File = OpenFileU16(Utf8ToUtf16(path), "wb");
    return m_File != nullptr;
}

void TimestampedLog::Write(const std::u16string& line)
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    // One stamp per physical line, so every line of the file can be grepped
    // and sorted; the blank lines some messages carry say nothing here.
    const std::string text = Utf16ToUtf8(line);
    std::lock_guard<std::mutex> guard(m_Mutex);
    if (!m_File)
        return;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::size_t stop = end;
        if (stop > start && text[stop - 1] == '\r')
            --stop;
        if (stop > start)
            std::fprintf(m_File, "%s.%03d %.*s\n", stamp, static_cast<int>(ms), static_cast<int>(stop - start),
                         text.data() + start);
        start = end + 1;
    }
    std::fflush(m_File);
}
