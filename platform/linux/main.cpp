// The updater as a console program on Linux: it runs one update of the
// attached controller, or of a simulated one, and says how it ended.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>

#include "app/clock.h"
#include "app/diagnostics.h"
#include "app/process_state.h"
#include "app/text_table.h"
#include "app/update_dlg.h"
#include "app/wformat.h"
#include "platform/linux/console_view.h"
#include "platform/linux/locale_language.h"
#include "sim/demo_setup.h"
#include "sim/virtual_hid_bus.h"

namespace {

struct Options {
    DemoKind kind = DemoKind::Stream;
    std::string package;
    bool autoConfirm = false;
    bool verbose = false;
};

void Usage()
{
    std::puts("usage: controller-updater [--simulate=stream|block] [--package=FILE.dat] [--yes] [--verbose]");
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--simulate=", 0) == 0) {
            auto kind = ParseDemoKind(arg.substr(11));
            if (!kind)
                return false;
            options.kind = *kind;
        } else if (arg.rfind("--package=", 0) == 0) {
            options.package = arg.substr(10);
        } else if (arg == "--yes" || arg == "-y") {
            options.autoConfirm = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else {
            return false;
        }
    }
    return true;
}

std::string ProgramDirectory(const char* argv0)
{
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string path = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string(argv0);
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

class StderrSink final : public IDiagnosticSink {
public:
    void Write(const std::u16string& line) override
    {
        std::fprintf(stderr, "%s", Utf16ToUtf8(line).c_str());
    }
};

// Device-change events arrive on the bus's thread and are handled on this one,
// the UI thread of the console program.
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

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        Usage();
        return 2;
    }
    if (options.package.empty())
        options.package = ProgramDirectory(argv[0]) + "/" + Utf16ToUtf8(DemoPackageName(options.kind));

    LocaleUiLanguage language;
    SetUiLanguage(&language);
    StderrSink sink;
    if (options.verbose)
        SetDiagnosticSink(&sink);

    SystemClock& clock = SystemClock::Instance();
    VirtualHidBus bus(clock);
    ConsoleView view(stdout, Utf8ToUtf16(options.package), options.autoConfirm || !::isatty(0));
    EventQueue events;
    bus.SetNotifier([&](NotifyWindow, std::uint32_t event) {
        events.Push(event);
        view.WakeUi();
    });

    int result = 1;
    {
        CUpdateDlg dlg(bus, view, clock);
        dlg.OnInitDialog();
        PlugDemoController(bus, options.kind);
        events.DeliverTo(dlg);
        if (view.ButtonEnabled()) {
            dlg.OnUpdateClicked();
            while (dlg.WorkerActive()) {
                view.PumpUntil([&] { return !events.Empty() || !dlg.WorkerActive(); });
                events.DeliverTo(dlg);
            }
            dlg.WaitForWorker();
            result = view.Succeeded() ? 0 : 1;
        } else {
            std::puts("No supported controller found.");
        }
    }
    SetDiagnosticSink(nullptr);
    SetUiLanguage(nullptr);
    return result;
}
