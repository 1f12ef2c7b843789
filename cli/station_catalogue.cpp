#include "cli/station_catalogue.h"

#include <random>
#include <system_error>

#include "base/diagnostics.h"
#include "base/utf.h"
#include "catalogue/catalogue_freshness.h"
#include "catalogue/package_choice.h"
#include "catalogue/package_location.h"
#include "cli/catalogue_choice.h"
#include "cli/catalogue_freshness_step.h"
#include "cli/hex_text.h"
#include "cli/refusal_codes.h"
#include "cli/wall_clock.h"

namespace {

namespace fs = std::filesystem;

std::string Named(const Catalogue& catalogue)
{
    return catalogue.repository + " version " + std::to_string(catalogue.version);
}

// A download's words end a sentence; a unit's line goes on after them.
std::string Clause(std::string text)
{
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    return text;
}

UnitPackage Refusal(UnitTrace trace, std::string reason, std::string text)
{
    UnitPackage package;
    package.trace = std::move(trace);
    package.refusal = std::move(reason);
    package.refusalText = std::move(text);
    return package;
}

}  // namespace

StationCatalogue::StationCatalogue(const CatalogueServices& services, const CliOptions& options, IClock& clock,
                                   EventOutput& out)
    : m_Services(services), m_Options(options), m_Clock(clock), m_Out(out)
{
    std::random_device random;
    std::error_code error;
    m_Folder = fs::temp_directory_path(error) / ("controller-updater-station-" + Hex(random(), 8));
}

StationCatalogue::~StationCatalogue()
{
    std::error_code ignored;
    fs::remove_all(m_Folder, ignored);
}

bool StationCatalogue::Load(int& code)
{
    m_FetchedMs = m_Clock.NowMs();
    auto loaded = LoadAndReport(m_Services, m_Options, {m_Stop, m_Options.stallTimeoutS * 1000}, m_Out, code);
    if (!loaded)
        return false;
    m_Current = std::make_shared<const AcceptedCatalogue>(std::move(*loaded));
    return true;
}

std::string StationCatalogue::Describe() const
{
    const auto current = Current();
    return Named(current->catalogue) + ", " + current->trust;
}

std::shared_ptr<const AcceptedCatalogue> StationCatalogue::Current() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Current;
}

bool StationCatalogue::Expired(const AcceptedCatalogue& current) const
{
    const FreshnessRequest request{WallClockNow(), m_Options.offline, !IsHttpUrl(current.location)};
    return JudgeFreshness(current.catalogue, current.sha256, {}, BuiltInFreshnessFloors(), request).problem ==
           FreshnessProblem::Expired;
}

UnitPackage StationCatalogue::PackageFor(const BoundController& controller, const StopSignal& stop)
{
    const auto current = Current();
    const Catalogue& catalogue = current->catalogue;
    UnitTrace trace{catalogue.repository, catalogue.version, {}, {}, {}};
    if (Expired(*current))
        return Refusal(trace, kReasonCatalogueExpired,
                       "the catalogue " + Named(catalogue) + " expired " + UtcTimeText(catalogue.expires) +
                           " and no newer one can be had");
    const bool named = !m_Options.packageVersion.empty();
    const ControllerFacts facts{controller.family, controller.usb.value_or(UsbId{}), controller.device};
    const auto floor = SecurityFloorFor(catalogue, facts);
    const auto fitting = FittingPackages(catalogue, facts, m_Options.beta || named,
                                         m_Options.allowBelowFloor ? BelowFloor::Kept : BelowFloor::Left);
    const auto chosen = named ? PackageNamed(fitting, m_Options.packageVersion)
                              : (fitting.empty() ? std::nullopt : std::optional(fitting.front()));
    if (!chosen && named && floor &&
        PackageNamed(FittingPackages(catalogue, facts, true, BelowFloor::Kept), m_Options.packageVersion))
        return Refusal(trace, "below-floor",
                       m_Options.packageVersion + " is below the security floor " + VersionWordLabel(*floor) +
                           " for this controller");
    if (!chosen)
        return Refusal(trace, "no-package",
                       "no package" + (named ? " " + m_Options.packageVersion : "") +
                           " in the catalogue for this controller");
    const CatalogueEntry& entry = *chosen->entry;
    trace.packageFile = entry.file;
    trace.packageSha256 = Sha256Hex(entry.sha256);
    if (BelowSecurityFloor(chosen->record, floor)) {
        trace.belowFloor = VersionWordLabel(*floor);
        DebugOut(Utf8ToUtf16(entry.file + ": below the security floor " + trace.belowFloor +
                             ", taken as --allow-below-floor asks\n"));
    }
    const PackageDownload download = Downloaded(*current, entry, stop);
    if (download.path.empty())
        return Refusal(trace, download.reason, Clause(download.text));
    const auto copy = UnitCopyOf(Utf8ToUtf16(download.path));
    if (!copy)
        return Refusal(trace, kReasonCannotSave, "the package cannot be copied for this unit");
    UnitPackage package;
    package.path = *copy;
    package.owned = true;
    package.binding = entry.binding;
    package.trace = std::move(trace);
    return package;
}

PackageDownload StationCatalogue::Downloaded(const AcceptedCatalogue& current, const CatalogueEntry& entry,
                                             const StopSignal& stop)
{
    const std::string sha256 = Sha256Hex(entry.sha256);
    std::shared_ptr<Download> download;
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        std::shared_ptr<Download>& slot = m_Downloads[sha256];
        if (!slot)
            slot = std::make_shared<Download>();
        download = slot;
    }
    // Units wanting the same package wait for the first one's download.
    std::lock_guard<std::mutex> guard(download->mutex);
    if (!download->path.empty())
        return {download->path, {}, {}};
    const fs::path folder = m_Folder / sha256;
    std::error_code error;
    fs::create_directories(folder, error);
    PackageDownload result =
        DownloadPackage(m_Services, current.location, entry, {stop, m_Options.stallTimeoutS * 1000}, folder);
    download->path = result.path;
    return result;
}

void StationCatalogue::Refresh(bool unitWaiting)
{
    const bool due = m_Clock.NowMs() - m_FetchedMs >= std::uint64_t{m_Options.catalogueRefreshS} * 1000;
    const bool expired = Expired(*Current());
    if (!due && !(unitWaiting && (m_FetchFailed || expired)))
        return;
    Fetch();
    const auto current = Current();
    if (!Expired(*current)) {
        m_ExpiredSaid = false;
    } else if (!m_ExpiredSaid) {
        m_ExpiredSaid = true;
        const std::string line = "The catalogue " + Named(current->catalogue) + " expired " +
                                 UtcTimeText(current->catalogue.expires) +
                                 " and no newer one can be had: new units are refused until one is published.";
        nlohmann::json event = {{"event", kReasonCatalogueExpired}, {"message", line}};
        AddCatalogueHeader(event, current->catalogue);
        Say(line, event);
    }
}

void StationCatalogue::Fetch()
{
    m_FetchedMs = m_Clock.NowMs();
    const auto current = Current();
    // The station remembers the one in use even when the memory is not kept;
    // what was refused once is not judged again.
    const auto judge = [&](const CliOptions& at, const LoadedCatalogue& loaded) -> std::optional<FreshnessRefusal> {
        const std::string sha256 = Sha256Hex(loaded.sha256);
        if (loaded.sha256 == current->sha256 || m_Said.count(sha256) > 0)
            return FreshnessRefusal{};
        std::optional<FreshnessRefusal> refusal;
        if (loaded.catalogue->repository == current->catalogue.repository &&
            loaded.catalogue->version <= current->catalogue.version)
            refusal = FreshnessRefusal{kReasonCatalogueOlder, at.catalogue + ": version " +
                                                              std::to_string(loaded.catalogue->version) +
                                                              " is not newer than the catalogue in use"};
        const auto remember = [&] {
            refusal = JudgeAndRemember(m_Services, at, *loaded.catalogue, loaded.sha256, loaded.keyChain, m_Out);
        };
        if (!refusal)
            m_Print ? m_Print(remember) : remember();
        if (refusal)
            m_Said.insert(sha256);
        return refusal;
    };
    CatalogueChoice choice = ChooseCatalogue(m_Services, m_Options, {m_Stop, m_Options.stallTimeoutS * 1000}, judge);
    m_FetchFailed = !choice.anyLoaded;
    if (choice.interrupted)
        return;
    for (const CatalogueSkip& skip : choice.skipped)
        if (!skip.line.empty())
            SayRefusedOnce(skip.mirror ? SkipText(skip) : skip.line, skip.reason);
    if (!choice.location)
        return;
    std::shared_ptr<const AcceptedCatalogue> next;
    const auto report = [&] {
        next = std::make_shared<const AcceptedCatalogue>(ReportCatalogue(*choice.location, std::move(choice.chosen), m_Out));
    };
    m_Print ? m_Print(report) : report();
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_Current = next;
    }
    nlohmann::json event = {{"event", "catalogue-in-use"}};
    AddCatalogueHeader(event, next->catalogue);
    Say("The catalogue " + Named(next->catalogue) + " is used from the next unit on.", event);
}

void StationCatalogue::SayRefusedOnce(const std::string& cause, const std::string& reason)
{
    if (!m_Said.insert(cause).second)
        return;
    const auto current = Current();
    const std::string line = cause + "; the catalogue " + Named(current->catalogue) + " stays in use.";
    nlohmann::json event = {{"event", "catalogue-not-renewed"}, {"reason", reason}, {"message", line}};
    AddCatalogueHeader(event, current->catalogue);
    Say(line, event);
}

void StationCatalogue::Say(const std::string& line, const nlohmann::json& event)
{
    const auto write = [&] { m_Out.Message(line, event); };
    m_Print ? m_Print(write) : write();
}
