#include "fuzz/input_file.h"

#include <unistd.h>

#include <filesystem>
#include <span>
#include <system_error>

#include "base/utf.h"
#include "package/package_writer.h"

namespace {

// libFuzzer may run several processes side by side: the process id keeps
// their files apart.
class InputFile {
public:
    InputFile()
    {
        std::error_code error;
        std::filesystem::path dir = std::filesystem::temp_directory_path(error);
        if (error)
            dir = "/tmp";
        m_Path = dir / ("updater_fuzz_" + std::to_string(getpid()) + ".dat");
        m_WidePath = Utf8ToUtf16(m_Path.string());
    }
    ~InputFile()
    {
        std::error_code ignored;
        std::filesystem::remove(m_Path, ignored);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const std::u16string& Path() const { return m_WidePath; }

private:
    std::filesystem::path m_Path;
    std::u16string m_WidePath;
};

InputFile& TheFile()
{
    static InputFile file;
    return file;
}

}  // namespace

const std::u16string& FuzzInputPath() { return TheFile().Path(); }

bool WriteFuzzInput(const std::uint8_t* data, std::size_t size)
{
    return WriteBytesToFile(FuzzInputPath(), std::span<const std::uint8_t>(data, size));
}
