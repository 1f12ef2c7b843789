#include "cli/catalogue_commands.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>

#include "base/diagnostics.h"
#include "base/utf.h"
#include "catalogue/catalogue_maker.h"
#include "catalogue/package_check.h"
#include "catalogue/package_choice.h"
#include "catalogue/package_location.h"
#include "cli/catalogue_load.h"
#include "cli/device_readout.h"
#include "cli/exit_codes.h"
#include "cli/hex_text.h"
#include "cli/interrupt_bridge.h"
#include "cli/package_precheck.h"
#include "cli/record_problem_text.h"
#include "cli/refusal_codes.h"
#include "cli/update_runner.h"
#include "cli/wall_clock.h"
#include "hid/hid.h"
#include "package/package_writer.h"
#include "protocols/package_inspection.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kNothingSent = " Nothing was sent.";
constexpr const char* kNotesFile = "notes.json";
constexpr const char* kCatalogueFile = "catalogue.json";

int Fail(EventOutput& out, int code, const std::string& reason, const std::string& line,
         const std::string& controller = {})
{
    nlohmann::json event = {{"event", "failed"}, {"reason", reason}, {"message", line}, {"exitCode", code}};
    if (!controller.empty())
        event["controller"] = controller;
    out.Message(line, event);
    return code;
}

ControllerFacts Facts(const FoundController& c, const DeviceReadout& readout)
{
    return {c.variant, {c.vendorId, c.productId}, readout.device};
}

std::string Describe(const FittingPackage& p)
{
    std::string text = VersionLabel(p.record) + " (" + ChannelName(p.entry->channel);
    if (!p.entry->date.empty())
        text += ", " + p.entry->date;
    return text + ")";
}

nlohmann::json PackageJson(const FittingPackage& p)
{
    return {{"version", VersionLabel(p.record)}, {"versionWord", p.record.desVersion},
            {"revision", p.record.revision}, {"file", p.entry->file},
            {"channel", ChannelName(p.entry->channel)}, {"date", p.entry->date},
            {"notes", {{"en", p.entry->notesEn}, {"zh", p.entry->notesZh}}}};
}

// The package of entry, downloaded to a temporary folder of its own from
// where the catalogue was served and checked against it; the file's path,
// or nullopt after reporting the refusal.
std::optional<std::string> Download(const CatalogueServices& services, const AcceptedCatalogue& catalogue,
                                    const CatalogueEntry& entry, const FetchContext& context, EventOutput& out,
                                    int& code)
{
    const auto folder = TemporaryFolder();
    if (!folder) {
        code = Fail(out, kExitFailed, kReasonCannotSave, "No temporary folder can be made for the download." + std::string(kNothingSent));
        return std::nullopt;
    }
    const PackageDownload download = DownloadPackage(services, catalogue.location, entry, context, *folder);
    if (download.path.empty()) {
        std::error_code ignored;
        fs::remove_all(*folder, ignored);
        code = Fail(out, DownloadExitCode(download.reason), download.reason, download.text + kNothingSent);
        return std::nullopt;
    }
    return download.path;
}

// What check and update --catalogue share: Ctrl-C as a stop for downloads,
// and the catalogue loaded and judged (or the exit code of its refusal).
struct CatalogueRun {
    CatalogueRun(const CatalogueServices& services, const CliOptions& options, EventOutput& out)
        : context{bridge.Stop(), options.stallTimeoutS * 1000},
          catalogue(LoadAndReport(services, options, context, out, code))
    {
    }
    InterruptBridge bridge;
    FetchContext context;
    int code = kExitDone;
    std::optional<AcceptedCatalogue> catalogue;
};

std::vector<std::uint8_t> ReadWhole(const std::string& path, bool& ok)
{
    const StopSignal never;
    const FetchResult read = FetchLocation({}, path, kMaxDownloadBytes, {never});
    ok = read.problem == FetchProblem::None;
    return read.body;
}

// The binding make's options give, as a catalogue writes it; nullopt when
// they name no family.
std::optional<std::string> OptionsBinding(const CliOptions& o)
{
    if (o.family.empty())
        return std::nullopt;
    nlohmann::json binding = {{"family", o.family}, {"usb", o.usb}};
    if (!o.deviceTypes.empty())
        binding["deviceTypes"] = o.deviceTypes;
    if (!o.models.empty())
        binding["models"] = o.models;
    if (!o.subModels.empty())
        binding["subModels"] = o.subModels;
    return binding.dump();
}

// The catalogue already at path: nullopt when there is none; a refusal
// when one is there that this program cannot read (its number would be lost).
std::optional<Catalogue> Previous(const std::string& path, bool& unreadable)
{
    unreadable = false;
    std::error_code error;
    if (!fs::exists(fs::path(Utf8ToUtf16(path)), error))
        return std::nullopt;
    bool read = false;
    const std::vector<std::uint8_t> bytes = ReadWhole(path, read);
    CatalogueParse parse = ParseCatalogue(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    unreadable = !read || !parse.catalogue;
    return std::move(parse.catalogue);
}

// make's --floor for the controllers its options name; false after
// reporting why there is none.
bool AddFloor(const CliOptions& o, Catalogue& catalogue, EventOutput& out, int& code)
{
    if (o.floor.empty())
        return true;
    const auto version = ParseVersionWord(o.floor);
    const auto text = OptionsBinding(o);
    const auto binding = text ? ParseBinding(*text) : std::nullopt;
    if (!version || !binding || !FloorBindingSound(*binding)) {
        code = Fail(out, kExitUsage, "bad-floor",
                    "--floor needs a version (e.g. 1.40) and the controllers of --family, --usb and, for block, "
                    "--device-type (no --model or --sub-model); no catalogue was written");
        return false;
    }
    catalogue.floors.push_back({*binding, *version});
    return true;
}

// The previous publication's floors stay in the next one: a floor only
// rises, so a publishing script that forgot its --floor lowers nothing.
bool CarryFloors(const std::optional<Catalogue>& previous, Catalogue& catalogue, EventOutput& out, int& code)
{
    if (!previous)
        return true;
    for (const SecurityFloor& old : previous->floors) {
        const auto same = std::find_if(catalogue.floors.begin(), catalogue.floors.end(),
                                       [&](const SecurityFloor& f) { return f.binding == old.binding; });
        if (same == catalogue.floors.end()) {
            catalogue.floors.push_back(old);
        } else if (NewerVersion(old.version, same->version)) {
            code = Fail(out, kExitUsage, "bad-floor",
                        "--floor " + VersionWordLabel(same->version) + " is below the floor " +
                            VersionWordLabel(old.version) +
                            " already published for these controllers; floors only rise; no catalogue was written");
            return false;
        }
    }
    return true;
}

// A package below the floor on the operator's word: said, and kept in the
// diagnostic log.
void SayBelowFloor(EventOutput& out, const std::string& name, const FittingPackage& p, std::uint32_t floor)
{
    const std::string line = name + ": " + VersionLabel(p.record) + " is below the security floor " +
                             VersionWordLabel(floor) + " for this controller; installed as --allow-below-floor asks.";
    out.Message(line, {{"event", "below-floor"}, {"controller", name}, {"package", PackageJson(p)},
                       {"floor", VersionWordLabel(floor)}, {"message", line}});
    DebugOut(Utf8ToUtf16(line + "\n"));
}

bool WriteText(const std::string& path, const std::string& text)
{
    return WriteBytesToFile(Utf8ToUtf16(path), std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace

int RunCheck(const CatalogueServices& services, IHidBackend& backend, IClock& clock, const IdentityLookup& lookup,
             const CliOptions& options, EventOutput& out)
{
    const CatalogueRun run(services, options, out);
    if (!run.catalogue)
        return run.code;
    const Catalogue& catalogue = run.catalogue->catalogue;
    int code = kExitDone;
    const std::vector<FoundController> controllers = ScanControllers(backend, lookup);
    if (controllers.empty())
        return Fail(out, kExitNoController, "no-controller", "No supported controller is attached.");
    for (const FoundController& c : controllers) {
        const std::string name = Utf16ToUtf8(c.path);
        if (!c.openable) {
            code = std::max(code, Fail(out, kExitFailed, "cannot-open-controller",
                                       name + ": cannot be opened: " + OpenFailureAdvice(c.openError), name));
            continue;
        }
        const DeviceReadout readout = ReadDevice(backend, clock, c);
        const auto fitting = FittingPackages(catalogue, Facts(c, readout), options.beta);
        nlohmann::json event = {{"event", "checked"}, {"controller", name}, {"version", VersionText(readout)}};
        const std::string runs = name + ": runs " + VersionText(readout);
        if (fitting.empty()) {
            event["state"] = "no-package";
            out.Data(runs + "; the catalogue lists no package for this controller", event);
            continue;
        }
        const bool available = UpdateAvailable(readout.device, fitting.front());
        event["state"] = available ? "update-available" : "up-to-date";
        event["newest"] = PackageJson(fitting.front());
        out.Data(runs + (available ? "; " + Describe(fitting.front()) + " is available"
                                   : "; up to date (newest: " + Describe(fitting.front()) + ")"),
                 event);
        if (available && code == kExitDone)
            code = kExitUpdateAvailable;
    }
    return code;
}

int RunCatalogueUpdate(const CatalogueServices& services, IHidBackend& backend, IClock& clock,
                       const IdentityLookup& lookup, const CliOptions& options, EventOutput& out)
{
    const CatalogueRun run(services, options, out);
    if (!run.catalogue)
        return run.code;
    const Catalogue& catalogue = run.catalogue->catalogue;
    std::vector<FoundController> found;
    if (const int picked = PickControllers(backend, lookup, options.device, options.all, options.verify, out, found);
        picked != kExitDone)
        return picked;
    // Controllers grouped by the package they get: each is downloaded once.
    std::map<const CatalogueEntry*, std::vector<FoundController>> groups;
    for (const FoundController& c : found) {
        const std::string name = Utf16ToUtf8(c.path);
        const DeviceReadout readout = ReadDevice(backend, clock, c);
        const bool named = !options.packageVersion.empty();
        const ControllerFacts facts = Facts(c, readout);
        const auto floor = SecurityFloorFor(catalogue, facts);
        const auto fitting = FittingPackages(catalogue, facts, options.beta || named,
                                             options.allowBelowFloor ? BelowFloor::Kept : BelowFloor::Left);
        const auto chosen = named ? PackageNamed(fitting, options.packageVersion)
                                  : (fitting.empty() ? std::nullopt : std::optional(fitting.front()));
        if (!chosen && named && floor && PackageNamed(FittingPackages(catalogue, facts, true, BelowFloor::Kept), options.packageVersion))
            return Fail(out, kExitPackageRefused, "below-floor",
                        name + ": " + options.packageVersion + " is below the security floor " +
                            VersionWordLabel(*floor) + " for this controller (--allow-below-floor takes it)." +
                            kNothingSent,
                        name);
        if (!chosen)
            return Fail(out, kExitPackageRefused, "no-package",
                        name + ": the catalogue lists no package" + (named ? " " + options.packageVersion : "") +
                            " for this controller." + kNothingSent,
                        name);
        if (!named && !UpdateAvailable(readout.device, *chosen)) {
            out.Data(name + ": runs " + VersionText(readout) + "; up to date, nothing to install",
                     {{"event", "up-to-date"}, {"controller", name}, {"newest", PackageJson(*chosen)}});
            continue;
        }
        if (BelowSecurityFloor(chosen->record, floor))
            SayBelowFloor(out, name, *chosen, *floor);
        out.Data(name + ": installing " + Describe(*chosen) + " from " + chosen->entry->file,
                 {{"event", "chosen"}, {"controller", name}, {"package", PackageJson(*chosen)}});
        groups[chosen->entry].push_back(c);
    }
    int worst = kExitDone;
    for (const auto& [entry, controllers] : groups) {
        int refused = kExitDone;
        const auto path = Download(services, *run.catalogue, *entry, run.context, out, refused);
        if (!path)
            return refused;
        const int result = RunUpdates(backend, clock, controllers, {*path, options.yes, options.verify, entry->binding}, out);
        RemoveDownload(*path);
        worst = std::max(worst, result);
        if (result == kExitInterrupted)
            return result;
    }
    return worst;
}

int RunCatalogueMake(const CatalogueServices& services, const CliOptions& options, EventOutput& out)
{
    const fs::path dir(Utf8ToUtf16(options.catalogue));
    std::error_code error;
    if (!fs::is_directory(dir, error))
        return Fail(out, kExitUsage, "not-a-folder", options.catalogue + ": not a folder");
    std::vector<fs::path> files;
    for (const auto& item : fs::directory_iterator(dir, error))
        if (item.path().extension() == ".dat")
            files.push_back(item.path());
    std::sort(files.begin(), files.end());
    Catalogue catalogue;
    for (const fs::path& file : files) {
        const std::string path = Utf16ToUtf8(file.u16string());
        const std::string name = Utf16ToUtf8(file.filename().u16string());
        if (const auto problem = PackageFileProblem(path))
            return Fail(out, kExitPackageRefused, "package-unusable", *problem + "; no catalogue was written");
        bool read = false;
        const std::vector<std::uint8_t> bytes = ReadWhole(path, read);
        bool opened = false;
        const std::vector<InspectedRecord> records = InspectPackage(file.u16string(), opened);
        auto entry = read ? MakeCatalogueEntry(name, bytes, records, *services.crypto) : std::nullopt;
        if (!entry) {
            const auto bad = std::find_if(records.begin(), records.end(), [](const InspectedRecord& r) {
                return r.problem != RecordProblem::None;
            });
            const std::string why = bad == records.end() ? "cannot be read" : RecordProblemText(bad->problem);
            return Fail(out, kExitPackageRefused, "broken-package",
                        path + ": inspect finds it broken (" + why + "); no catalogue was written");
        }
        catalogue.packages.push_back(std::move(*entry));
    }
    int code = kExitDone;
    if (!AddFloor(options, catalogue, out, code))
        return code;
    std::string notesPath = options.notes;
    if (notesPath.empty() && fs::exists(dir / kNotesFile, error))
        notesPath = Utf16ToUtf8((dir / kNotesFile).u16string());
    if (!notesPath.empty()) {
        bool read = false;
        const std::vector<std::uint8_t> notes = ReadWhole(notesPath, read);
        if (!read || !ApplyReleaseNotes(catalogue, std::string(notes.begin(), notes.end())))
            return Fail(out, kExitUsage, "bad-notes",
                        notesPath + ": not a notes file ({\"file.dat\": {\"channel\", \"date\", \"en\", \"zh\", \"for\"}})");
    }
    if (const auto text = OptionsBinding(options)) {
        const auto binding = ParseBinding(*text);
        if (!binding)
            return Fail(out, kExitUsage, "bad-binding",
                        "--family, --usb, --device-type, --model and --sub-model do not name controllers "
                        "(a block package needs --usb and --device-type, a stream one --usb)");
        for (CatalogueEntry& entry : catalogue.packages)
            if (!BindingComplete(entry.binding))
                entry.binding = *binding;
    }
    for (const CatalogueEntry& entry : catalogue.packages)
        if (!BindingComplete(entry.binding))
            return Fail(out, kExitUsage, "no-binding",
                        entry.file + ": names no controllers it is for (\"for\" in the notes, or --family and "
                                     "--usb); no catalogue was written");
    const std::string output =
        options.output.empty() ? Utf16ToUtf8((dir / kCatalogueFile).u16string()) : options.output;
    bool unreadable = false;
    const std::optional<Catalogue> previous = Previous(output, unreadable);
    if (unreadable)
        return Fail(out, kExitCatalogueRefused, "unreadable-previous",
                    output + ": a catalogue this program cannot read is there, and its version would be lost; "
                             "move it away to start a new series; no catalogue was written");
    const auto next = NextPublication(previous, options.repository, WallClockNow(), options.expiresDays);
    if (!next)
        return Fail(out, kExitUsage, "no-repository", "name the series with --repository; no catalogue was written");
    if (!CarryFloors(previous, catalogue, out, code))
        return code;
    catalogue.repository = next->repository;
    catalogue.version = next->version;
    catalogue.published = next->published;
    catalogue.expires = next->expires;
    // Past a reader's limits (entries, size with the notes) it would be
    // written for nobody: every reader refuses it.
    const std::string text = CatalogueJson(catalogue);
    if (const CatalogueProblem problem = ParseCatalogue(text).problem; problem != CatalogueProblem::None)
        return Fail(out, kExitCatalogueRefused, "unreadable-catalogue",
                    CatalogueProblemText(problem) + "; no catalogue was written");
    if (!WriteText(output, text))
        return Fail(out, kExitFailed, "cannot-write", output + ": cannot be written");
    out.Data(output + ": " + catalogue.repository + " version " + std::to_string(catalogue.version) + ", " +
                 std::to_string(catalogue.packages.size()) + " packages, " +
                 (catalogue.floors.empty() ? "" : std::to_string(catalogue.floors.size()) + " security floors, ") +
                 "expires " + UtcTimeText(catalogue.expires),
             {{"event", "written"}, {"catalogue", output}, {"packages", catalogue.packages.size()},
              {"repository", catalogue.repository}, {"version", catalogue.version},
              {"floors", catalogue.floors.size()}, {"expires", UtcTimeText(catalogue.expires)}});
    return kExitDone;
}
