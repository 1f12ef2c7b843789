#include "cli/update_runner.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "base/utf.h"
#include "cli/exit_codes.h"
#include "cli/hex_text.h"
#include "cli/interrupt_signal.h"
#include "cli/package_precheck.h"
#include "cli/record_problem_text.h"
#include "cli/refusal_codes.h"
#include "cli/terminal_ui.h"
#include "engine/firmware_selection.h"
#include "engine/session_start.h"
#include "engine/update_session.h"
#include "text/firmware_version.h"
#include "text/text_table.h"
#include "protocols/standard_protocols.h"

namespace {

struct Verdict {
    int code = kExitFailed;
    std::string reason;  // the JSON reason code
    std::string line;
};

// The lines the dialog keeps to itself.
Verdict RefusalVerdict(const UpdateSession& s, const SelectionOutcome& o, const std::string& package)
{
    switch (o.refusal) {
    case SelectionRefusal::CannotOpen:
        return {kExitPackageRefused, SelectionRefusalCode(o.refusal), package + ": the package cannot be opened"};
    case SelectionRefusal::NoRecord:
        return {kExitPackageRefused, SelectionRefusalCode(o.refusal),
                package + ": no record for device type 0x" + Hex(s.device.currentDeviceType, 8)};
    case SelectionRefusal::BrokenRecord:
        return {kExitPackageRefused, SelectionRefusalCode(o.refusal),
                package + ": the record is broken: " + RecordProblemText(o.problem)};
    case SelectionRefusal::WrongRecordType:
        return {kExitPackageRefused, SelectionRefusalCode(o.refusal),
                package + ": the record is not meant for this device type"};
    case SelectionRefusal::Incompatible: {
        const std::uint16_t lowest = LowestAcceptedRelease(s.HidLink.ProtocolVariant, s.device.deviceModel,
                                                           s.device.deviceSubModel);
        return {kExitPackageRefused, SelectionRefusalCode(o.refusal),
                package + ": version " + ReleaseText(o.header.desVersion) +
                    " is refused by this controller; the lowest accepted version is " + ReleaseText(lowest)};
    }
    case SelectionRefusal::OutsideBinding:
        return {kExitPackageRefused, SelectionRefusalCode(o.refusal),
                package + ": the catalogue lists this package for other controllers than this one"};
    case SelectionRefusal::Cancelled:
        return {kExitCancelled, SelectionRefusalCode(o.refusal), "Cancelled at the confirmation; nothing was sent."};
    case SelectionRefusal::NoFileChosen:
    case SelectionRefusal::Stopped:
    case SelectionRefusal::None:
        break;
    }
    return {};
}

class ControllerUpdate {
public:
    ControllerUpdate(IHidBackend& backend, IClock& clock, const FoundController& controller,
                     const UpdateRequest& request, EventOutput& out)
        : m_Controller(controller),
          m_Name(Utf16ToUtf8(controller.path)),
          m_Request(request),
          m_Ui(out, m_Name, Utf8ToUtf16(request.package), request.autoConfirm),
          m_Session(backend, clock, m_Ui, StandardProtocolDrivers())
    {
        m_Ui.Watch(&m_Session);
        UpdateOptions options;
        options.verifyImage = request.verify;
        options.binding = request.binding;
        m_Session.SetOptions(options);
    }

    void Start()
    {
        m_Thread = std::thread([this] {
            Run();
            m_Finished = true;
        });
    }
    void Stop() { m_Session.RequestStop(); }
    bool Finished() const { return m_Finished; }
    void Join() { m_Thread.join(); }
    const std::string& Name() const { return m_Name; }
    const Verdict& Result() const { return m_Verdict; }

private:
    void Run()
    {
        StartSession(m_Session, {StartIdle::Fresh, KnownControllerOf(m_Controller)});
        if (m_Session.StopRequested())
            return Interrupted();
        if (!m_Session.PrepareUpdate()) {
            m_Verdict = {kExitFailed, "cannot-open-controller", m_Name + ": the controller cannot be opened"};
            return;
        }
        Judge(m_Session.RunUpdate());
    }

    void Interrupted()
    {
        const std::uint32_t sent = m_Session.transfer.bytesSent;
        std::string state = sent == 0
            ? "nothing was written; the controller keeps its firmware."
            : "the image is incomplete (" + std::to_string(sent) +
                  " bytes written); the controller stays in its updater.";
        m_Verdict = {kExitInterrupted, kReasonInterrupted,
                     m_Name + ": interrupted between two reports: " + state +
                         " Run the same command again to repeat the update."};
    }

    void Judge(const UpdateResult& result)
    {
        const VerifyResult& v = result.verify;
        if (m_Session.StopRequested())
            return Interrupted();
        if (result.outcome == UpdateOutcome::Succeeded) {
            m_Verdict = {kExitDone, "done",
                         m_Name + ": firmware updated" +
                             (v.verdict == VerifyVerdict::Passed ? " and verified." : ".")};
            return;
        }
        Verdict refused = RefusalVerdict(m_Session, result.selection, m_Request.package);
        if (!refused.reason.empty()) {
            m_Verdict = refused;
            return;
        }
        const std::string repeat = " Finish was not sent: the controller stays in its updater; run the update again.";
        if (v.verdict == VerifyVerdict::Mismatch)
            m_Verdict = {kExitFailed, "verify-mismatch",
                         m_Name + ": verification failed: the image differs at address " +
                             "0x" + Hex(v.firstDifference, 8) + "." + repeat};
        else if (v.verdict == VerifyVerdict::NoAnswer)
            m_Verdict = {kExitFailed, "verify-no-answer",
                         m_Name + ": verification failed: the controller did not acknowledge reading its memory back at " +
                             "0x" + Hex(v.firstDifference, 8) + "." + repeat};
        else
            m_Verdict = {kExitFailed, "update-failed",
                         m_Name + ": the update failed" +
                             (result.outcome == UpdateOutcome::Failed ? ": " + MessageLine(LoadText(result.failureText)) : ".")};
    }

    FoundController m_Controller;
    std::string m_Name;
    UpdateRequest m_Request;
    TerminalUi m_Ui;
    UpdateSession m_Session;
    std::thread m_Thread;
    std::atomic<bool> m_Finished{false};
    Verdict m_Verdict;
};

}  // namespace

int RunUpdates(IHidBackend& backend, IClock& clock, const std::vector<FoundController>& controllers,
               const UpdateRequest& request, EventOutput& out)
{
    out.SetConcurrent(controllers.size() > 1);
    std::vector<std::unique_ptr<ControllerUpdate>> updates;
    for (const FoundController& c : controllers)
        updates.push_back(std::make_unique<ControllerUpdate>(backend, clock, c, request, out));
    for (auto& u : updates)
        u->Start();
    bool stopping = false;
    auto running = [&] {
        return std::any_of(updates.begin(), updates.end(), [](const auto& u) { return !u->Finished(); });
    };
    while (running()) {
        if (!stopping && InterruptRequested()) {
            stopping = true;
            for (auto& u : updates)
                u->Stop();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kInterruptWatchIntervalMs));
    }
    int worst = kExitDone;
    int failed = 0;
    for (auto& u : updates) {
        u->Join();
        const Verdict& v = u->Result();
        nlohmann::json event = {{"event", v.code == kExitDone ? "done" : "failed"},
                                {"controller", u->Name()}, {"reason", v.reason}, {"exitCode", v.code},
                                {"message", v.line}};
        if (v.code == kExitDone)
            out.Data(v.line, event);
        else
            out.Message(v.line, event);
        failed += v.code != kExitDone;
        // Interrupted outranks everything, then the highest code.
        if (worst != kExitInterrupted && (v.code == kExitInterrupted || v.code > worst))
            worst = v.code;
    }
    if (updates.size() > 1) {
        const std::string summary = std::to_string(updates.size() - static_cast<std::size_t>(failed)) + " of " +
                                    std::to_string(updates.size()) + " controllers updated.";
        out.Message(summary, {{"event", "summary"}, {"updated", updates.size() - static_cast<std::size_t>(failed)},
                              {"controllers", updates.size()}, {"exitCode", worst}});
    }
    return worst;
}

int PickControllers(IHidBackend& backend, const IdentityLookup& lookup, const std::string& device, bool all,
                    bool verify, EventOutput& out, std::vector<FoundController>& found)
{
    found = ScanControllers(backend, lookup);
    if (!device.empty())
        std::erase_if(found, [&](const FoundController& c) { return Utf16ToUtf8(c.path) != device; });
    else if (!all && found.size() > 1)
        found.resize(1);
    if (found.empty()) {
        const std::string line = device.empty() ? "No supported controller is attached."
                                                : "No supported controller at " + device + ".";
        out.Message(line, {{"event", "failed"}, {"reason", "no-controller"}, {"exitCode", kExitNoController}});
        return kExitNoController;
    }
    for (const FoundController& c : found) {
        const std::string name = Utf16ToUtf8(c.path);
        if (!c.openable) {
            const std::string line = name + ": cannot be opened: " + OpenFailureAdvice(c.openError);
            out.Message(line, {{"event", "failed"}, {"controller", name}, {"reason", "cannot-open-controller"},
                               {"exitCode", kExitFailed}});
            return kExitFailed;
        }
        if (verify && c.variant != kProtocolBlock) {
            const std::string line = name + ": --verify needs a block controller; this one is a stream controller. Nothing was sent.";
            out.Message(line, {{"event", "failed"}, {"controller", name}, {"reason", "verify-unsupported"},
                               {"exitCode", kExitUsage}});
            return kExitUsage;
        }
        const std::string family(FamilyName(c.variant));
        out.Data(name + ": updating (" + family + ")", {{"event", "found"}, {"controller", name}, {"family", family}});
    }
    return kExitDone;
}

int RunUpdateCommand(IHidBackend& backend, IClock& clock, const IdentityLookup& lookup,
                     const UpdateRequest& request, const std::string& device, bool all, EventOutput& out)
{
    if (const auto problem = PackageFileProblem(request.package)) {
        out.Message(*problem, {{"event", "failed"}, {"reason", "package-unusable"}, {"message", *problem},
                               {"exitCode", kExitPackageRefused}});
        return kExitPackageRefused;
    }
    std::vector<FoundController> found;
    if (const int code = PickControllers(backend, lookup, device, all, request.verify, out, found); code != kExitDone)
        return code;
    return RunUpdates(backend, clock, found, request, out);
}
