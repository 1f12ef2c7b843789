#include "hid/hid_interfaces.h"

namespace {

// How often one index is retried when its path will not fit the buffer.
constexpr int kPathAttemptsPerIndex = 3;

// The buffer is sized by the first interface that needs one and reused after;
// bufferChars == 0 means no buffer is held.
bool FetchPath(IHidBackend& backend, HidInterfaceList list, std::uint32_t index,
               std::size_t& bufferChars, std::u16string& path)
{
    for (int attempt = 0; attempt < kPathAttemptsPerIndex; ++attempt) {
        if (bufferChars == 0)
            bufferChars = backend.InterfacePathSize(list, index);
        if (bufferChars != 0 && backend.InterfacePath(list, index, bufferChars, path))
            return true;
        bufferChars = 0;  // give the buffer up; the next attempt sizes one for this index
    }
    return false;
}

}  // namespace

bool ForEachHidInterface(IHidBackend& backend, const std::function<bool(const std::u16string& path)>& visit)
{
    const HidInterfaceList list = backend.OpenInterfaceList();
    if (list == kInvalidInterfaceList)
        return false;
    std::size_t bufferChars = 0;
    bool stopped = false;
    for (std::uint32_t index = 0; !stopped && backend.HasInterface(list, index); ++index) {
        std::u16string path;
        if (FetchPath(backend, list, index, bufferChars, path))
            stopped = visit(path);
    }
    backend.CloseInterfaceList(list);
    return stopped;
}
