#include "platform/linux/console_run.h"

#include <unistd.h>

#include <cstdio>

#include "app/update_dlg.h"
#include "platform/linux/console_view.h"
#include "protocols/standard_protocols.h"

int RunConsoleUpdate(IHidBackend& backend, IClock& clock, const ConsoleRunSetup& setup)
{
    ConsoleView view(stdout, setup.packagePath, setup.autoConfirm || !::isatty(0));
    // Device events arrive on the backend's thread and are handled on this one.
    if (setup.setNotifier)
        setup.setNotifier([&](NotifyWindow, std::uint32_t event) { view.PostDeviceChange(event); });
    int result = 1;
    {
        CUpdateDlg dlg(backend, view, clock, StandardProtocolDrivers());
        view.SetDeviceChangeTarget([&](std::uint32_t event) { dlg.OnDeviceChange(event, 0); });
        dlg.OnInitDialog();
        if (setup.afterInit)
            setup.afterInit();
        view.PumpUntil([] { return true; });
        if (view.ButtonEnabled()) {
            dlg.OnUpdateClicked();
            dlg.WaitForWorker();
            result = view.Succeeded() ? 0 : 1;
        } else {
            std::puts("No supported controller found.");
        }
        view.SetDeviceChangeTarget({});
    }
    if (setup.setNotifier)
        setup.setNotifier({});
    return result;
}
