#include "cli/station_command.h"

#include <atomic>
#include <filesystem>
#include <ctime>
#include <thread>

#include "base/utf.h"
#include "cli/exit_codes.h"
#include "cli/interrupt_signal.h"
#include "cli/package_precheck.h"
#include "cli/station_catalogue.h"
#include "cli/station_log_file.h"
#include "cli/station_status.h"
#include "station/station.h"
#include "station/station_package.h"
#include "station/unit_line.h"

namespace {

// How long the interrupt watcher sleeps before it looks whether the station
// has ended by itself (it is woken at once when it has).
constexpr std::uint32_t kInterruptWaitMs = 60'000;

std::string UtcNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
#if defined(_WIN32)
    gmtime_s(&parts, &now);
#else
    gmtime_r(&now, &parts);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

nlohmann::json UnitEvent(const UnitRecord& r, const std::string& time)
{
    const UnitIdentity& id = r.unit.identity;
    nlohmann::json event = {{"event", "unit"}, {"time", time}, {"port", id.port}, {"path", Utf16ToUtf8(r.unit.path)},
                            {"serial", id.serial}, {"vidPid", UnitVidPid(id)}, {"family", UnitFamily(r.unit)},
                            {"before", UnitVersionText(r.versionBefore, r.versionKnown)},
                            {"after", UnitVersionText(r.versionAfter, r.versionKnown)},
                            {"outcome", OutcomeName(r.outcome)}, {"reason", r.reason},
                            {"durationMs", r.durationMs}};
    if (r.outcome == UnitOutcome::Failed || r.outcome == UnitOutcome::Refused)
        event["message"] = UnitMessage(r);
    if (!r.trace.packageFile.empty())
        event["package"] = {{"file", r.trace.packageFile}, {"sha256", r.trace.packageSha256}};
    if (!r.trace.catalogueRepository.empty())
        event["catalogue"] = {{"repository", r.trace.catalogueRepository}, {"version", r.trace.catalogueVersion}};
    if (!r.trace.belowFloor.empty())
        event["belowFloor"] = r.trace.belowFloor;
    if (r.readBack != ReadBack::NotAsked)
        event["verified"] = r.readBack == ReadBack::Matched;
    return event;
}

nlohmann::json CountersEvent(const char* name, const StationCounters& c)
{
    return {{"event", name}, {"updated", c.updated}, {"upToDate", c.upToDate}, {"failed", c.failed},
            {"refused", c.refused}, {"running", c.running}};
}

// The worst outcome's exit code: a failed record, then a unit stopped by
// Ctrl-C, then a failure, then a refusal.
int StationExitCode(StationEnd end, const StationCounters& c, bool stoppedMidUpdate)
{
    if (end == StationEnd::LogFailed)
        return kExitLogFailed;
    if (stoppedMidUpdate)
        return kExitInterrupted;
    if (c.failed > 0)
        return kExitFailed;
    if (c.refused > 0)
        return kExitPackageRefused;
    return kExitDone;
}

class CliStationEvents final : public IStationEvents {
public:
    CliStationEvents(EventOutput& out, StationStatus& status, const UnitEndedHook& ended)
        : m_Out(out), m_Status(status), m_Ended(ended)
    {
    }
    void UnitTaken(const UnitRecord&) override { m_Status.Running(+1); }
    void UnitProgress(int, int) override {}
    void UnitFinished(const UnitRecord& record, const StationCounters& counters) override
    {
        const std::string time = UtcNow();
        m_Status.Print([&] { m_Out.Data(UnitLine(record, time), UnitEvent(record, time)); }, counters);
        if (record.reason == "stopped")
            m_StoppedMidUpdate = true;
        if (m_Ended)
            m_Ended(record);
    }
    bool StoppedMidUpdate() const { return m_StoppedMidUpdate; }

private:
    EventOutput& m_Out;
    StationStatus& m_Status;
    const UnitEndedHook& m_Ended;
    bool m_StoppedMidUpdate = false;
};

}  // namespace

int RunStationCommand(IHidBackend& backend, IClock& clock, const UnitDescriber& describe,
                      const DeviceChangeWatch& watch, const StationRequest& request, EventOutput& out,
                      const UnitEndedHook& ended)
{
    if (!describe) {
        out.Message("Station mode is not available on this platform.",
                    {{"event", "failed"}, {"reason", "unsupported"}, {"exitCode", kExitUsage}});
        return kExitUsage;
    }
    std::string source;  // what the log header says of the packages
    if (request.catalogue != nullptr) {
        source = "catalogue " + request.catalogue->Describe();
    } else {
        std::optional<std::string> problem = PackageFileProblem(request.package);
        const StationPackage package = CheckStationPackage(Utf8ToUtf16(request.package));
        if (!problem && !package.usable)
            problem = request.package + ": " + package.problem;
        if (problem) {
            out.Message(*problem, {{"event", "failed"}, {"reason", "package-unusable"}, {"message", *problem},
                                   {"exitCode", kExitPackageRefused}});
            return kExitPackageRefused;
        }
        source = "package " + request.package + ", " + std::to_string(package.records.size()) + " records";
        if (!request.packageSha256.empty())
            source += ", sha256 " + request.packageSha256;
    }
    StationLogFile log([&](const UnitRecord& r) {
        const std::string time = UtcNow();
        return out.Json() ? UnitEvent(r, time).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                          : UnitLine(r, time);
    });
    if (!request.logFile.empty()) {
        const std::string header = "# controller-updater station started " + UtcNow() + ", " + source;
        if (!log.Open(request.logFile, header)) {
            const std::string line = "Cannot write the station log " + request.logFile + ": " + log.Problem() +
                                     ". No unit was taken.";
            out.Message(line, {{"event", "failed"}, {"reason", "log-unwritable"}, {"message", line},
                               {"exitCode", kExitLogFailed}});
            return kExitLogFailed;
        }
    }
    StationStatus status(!out.Json() && request.statusLine);
    CliStationEvents events(out, status, ended);
    const std::u16string package = Utf8ToUtf16(request.package);
    const UnitTrace trace{{}, 0, Utf16ToUtf8(std::filesystem::path(package).filename().u16string()),
                          request.packageSha256, {}};
    StationSettings settings(package, request.maxUnits);
    settings.packages = request.catalogue;
    settings.verify = request.verify;
    if (request.catalogue == nullptr)
        settings.packageTrace = trace;
    Station station(backend, clock, describe, events, request.logFile.empty() ? nullptr : &log, settings);
    if (request.catalogue != nullptr)
        request.catalogue->SetPrinter(
            [&](const std::function<void()>& write) { status.Print(write, station.Counters()); });
    const std::shared_ptr<void> watching = watch ? watch([&] { station.NoteDeviceChange(); }) : nullptr;
    out.Message("Waiting for controllers (Ctrl-C ends the station).",
                {{"event", "waiting"}, {"package", request.package}, {"source", source}, {"maxUnits", request.maxUnits}});
    status.Show(station.Counters());
    std::atomic<bool> finished{false};
    std::thread interrupts([&] {
        while (!finished.load())
            if (WaitForInterrupt(kInterruptWaitMs)) {
                station.RequestStop();
                if (request.catalogue != nullptr)
                    request.catalogue->Stop();
                return;
            }
    });
    const StationEnd end = station.Run();
    finished = true;
    WakeInterruptWaiter();
    interrupts.join();
    const StationCounters counters = station.Counters();
    if (end == StationEnd::LogFailed) {
        const std::string line = "Cannot write the station log " + request.logFile + ": " + log.Problem() +
                                 ". The station stopped taking units.";
        status.Print([&] { out.Message(line, {{"event", "failed"}, {"reason", "log-unwritable"}, {"message", line}}); },
                     counters);
    }
    const int code = StationExitCode(end, counters, events.StoppedMidUpdate());
    nlohmann::json summary = CountersEvent("summary", counters);
    summary["exitCode"] = code;
    status.Print([&] { out.Message("Station: " + CountersLine(counters) + ".", summary); }, counters, false);
    return code;
}
