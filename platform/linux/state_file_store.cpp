#include "platform/linux/state_file_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "catalogue/freshness_state.h"

namespace {

std::string ErrorText(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_Fd(fd) {}
    ~Descriptor()
    {
        if (m_Fd >= 0)
            ::close(m_Fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_Fd; }
    // close() reports a write the disk refused late; false then.
    bool Close()
    {
        const int fd = m_Fd;
        m_Fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_Fd;
};

bool WriteAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string Folder(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string StateFileStore::DefaultPath(const EnvironmentLookup& getenv)
{
    if (const char* named = getenv(kTrustStoreEnvironment); named && named[0] != '\0')
        return named;
    const std::string folder = UserStateFolder(getenv);
    return folder.empty() ? std::string() : folder + "/" + kTrustStoreFileName;
}

TrustStoreLoad StateFileStore::Load()
{
    TrustStoreLoad load;
    if (m_Path.empty())
        return load;
    Descriptor file(::open(m_Path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) {
        if (errno != ENOENT) {
            load.status = TrustStoreStatus::Failed;
            load.detail = ErrorText(m_Path);
        }
        return load;
    }
    std::vector<char> buffer(kMaxFreshnessStateBytes + 1);
    std::size_t used = 0;
    while (used < buffer.size()) {
        const ssize_t got = ::read(file.Get(), buffer.data() + used, buffer.size() - used);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            load.status = TrustStoreStatus::Failed;
            load.detail = ErrorText(m_Path);
            return load;
        }
        if (got == 0)
            break;
        used += static_cast<std::size_t>(got);
    }
    if (used > kMaxFreshnessStateBytes) {
        load.status = TrustStoreStatus::Failed;
        load.detail = m_Path + ": larger than the state may be";
        return load;
    }
    load.status = TrustStoreStatus::Read;
    load.text.assign(buffer.data(), used);
    return load;
}

std::string StateFileStore::Save(std::string_view text)
{
    if (m_Path.empty())
        return "there is no state folder (neither XDG_STATE_HOME nor HOME is an absolute path)";
    const std::string folder = Folder(m_Path);
    if (!MakeFolders(folder))
        return ErrorText(folder);
    std::string temporary = m_Path + ".XXXXXX";
    Descriptor file(::mkstemp(temporary.data()));
    if (file.Get() < 0)
        return ErrorText(temporary);
    const bool written = WriteAll(file.Get(), text) && ::fsync(file.Get()) == 0;
    if (!written || !file.Close() || ::rename(temporary.c_str(), m_Path.c_str()) != 0) {
        const std::string error = ErrorText(m_Path);
        ::unlink(temporary.c_str());
        return error;
    }
    // The rename itself reaches the disk with the folder.
    Descriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.Get() >= 0)
        ::fsync(directory.Get());
    return {};
}
