#include "platform/linux/console_run.h"

#include <unistd.h>

#include <cstdio>
#include <deque>
#include <mutex>

#include "app/update_dlg.h"
#include "platform/linux/console_view.h"

namespace {

// Device events arrive on the backend's thread and are handled on this one.
class EventQueue {
public:
    void Push(std::uint32_t event)
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_Events.push_back(event);
    }
    bool Empty() const
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        return m_Events.empty();
    }
    void DeliverTo(CUpdateDlg& dlg)
    {
        for (;;) {
            std::uint32_t event;
            {
                std::lock_guard<std::mutex> guard(m_Mutex);
                if (m_Events.empty())
                    return;
                event = m_Events.front();
                m_Events.pop_front();
            }
            dlg.OnDeviceChange(event, 0);
        }
    }

private:
    mutable std::mutex m_Mutex;
    std::deque<std::uint32_t> m_Events;
};

int ClickAndWait(CUpdateDlg& dlg, ConsoleView& view, EventQueue& events)
{
    dlg.OnUpdateClicked();
    while (dlg.WorkerActive()) {
        view.PumpUntil([&] { return !events.Empty() || !dlg.WorkerActive(); });
        events.DeliverTo(dlg);
    }
    dlg.WaitForWorker();
    return view.Succeeded() ? 0 : 1;
}

}  // namespace

int RunConsoleUpdate(IHidBackend& backend, IClock& clock, const ConsoleRunSetup& setup)
{
    ConsoleView view(stdout, setup.packagePath, setup.autoConfirm || !::isatty(0));
    EventQueue events;
    if (setup.setNotifier) {
        setup.setNotifier([&](NotifyWindow, std::uint32_t event) {
            events.Push(event);
            view.WakeUi();
        });
    }
    int result = 1;
    {
        CUpdateDlg dlg(backend, view, clock);
        dlg.OnInitDialog();
        if (setup.afterInit)
            setup.afterInit();
        events.DeliverTo(dlg);
        if (view.ButtonEnabled())
            result = ClickAndWait(dlg, view, events);
        else
            std::puts("No supported controller found.");
    }
    if (setup.setNotifier)
        setup.setNotifier({});
    return result;
}
