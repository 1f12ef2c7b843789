// controller-updater: the subcommands of cli/ over hidraw; a command line
// without a subcommand is the console replay of the dialog.
#include <cstdlib>
#include <string>
#include <vector>

#include "base/clock.h"
#include "cli/cli_options.h"
#include "cli/subcommands.h"
#include "cli/sysfs_identity.h"
#include "platform/gcrypt/gcrypt_verifier.h"
#include "platform/linux/console_replay.h"
#include "platform/linux/curl_fetcher.h"
#include "platform/linux/hidraw_backend.h"
#include "platform/linux/hidraw_monitor_thread.h"
#include "platform/linux/state_file_store.h"
#include "platform/linux/udev_hidraw_system.h"

namespace {

class HidrawControllers final : public AttachedControllers {
public:
    HidrawControllers() : m_Backend(m_Udev, SystemClock::Instance()) {}
    IHidBackend& Backend() override { return m_Backend; }
    IdentityLookup Lookup() override { return SysfsHidIdentity; }
    UnitDescriber Describer() override { return SysfsUnitIdentity; }
    DeviceChangeWatch ChangeWatch() override
    {
        return [this](std::function<void()> onChange) -> std::shared_ptr<void> {
            auto monitor = m_Udev.OpenMonitor();
            if (!monitor)
                return nullptr;
            return HidrawMonitorThread::Start(std::move(monitor), [onChange](std::uint32_t) { onChange(); });
        };
    }

private:
    UdevHidrawSystem m_Udev;
    HidrawBackend m_Backend;
};

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (!WantsSubcommandParser(arguments))
        return RunConsoleReplay(argc, argv);
    CurlFetcher fetcher;
    const GcryptVerifier crypto;
    StateFileStore memory(StateFileStore::DefaultPath([](const char* name) { return std::getenv(name); }));
    return RunSubcommand(arguments, [] { return std::make_unique<HidrawControllers>(); },
                         {&fetcher, &crypto, &memory});
}
