// controller-updater-cli.exe: the subcommands of cli/ over the Windows HID
// backend.
#include <string>
#include <vector>

#include "cli/polling_change_watch.h"
#include "cli/subcommands.h"
#include "platform/gcrypt/gcrypt_verifier.h"
#include "platform/win32/hid_path_identity.h"
#include "platform/win32/state_file_store.h"
#include "platform/win32/win32_hid_backend.h"
#include "platform/win32/winhttp_fetcher.h"

namespace {

class Win32Controllers final : public AttachedControllers {
public:
    IHidBackend& Backend() override { return m_Backend; }
    IdentityLookup Lookup() override { return {}; }
    UnitDescriber Describer() override { return HidPathIdentity; }
    DeviceChangeWatch ChangeWatch() override
    {
        return [this](std::function<void()> onChange) { return WatchByPolling(m_Backend, std::move(onChange)); };
    }

private:
    Win32HidBackend m_Backend;
};

}  // namespace

int main(int argc, char** argv)
{
    WinHttpFetcher fetcher;
    const GcryptVerifier crypto;
    StateFileStore memory(StateFileStore::DefaultPath());
    return RunSubcommand(std::vector<std::string>(argv + 1, argv + argc),
                         [] { return std::make_unique<Win32Controllers>(); }, {&fetcher, &crypto, &memory});
}
