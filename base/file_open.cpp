#include "base/file_open.h"

#include "base/utf.h"

std::FILE* OpenFileU16(const std::u16string& path, const char* mode)
{
#ifdef _WIN32
    const std::wstring widePath(path.begin(), path.end());
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(widePath.c_str(), wideMode.c_str());
#else
    return std::fopen(Utf16ToUtf8(path).c_str(), mode);
#endif
}
