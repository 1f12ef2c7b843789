#include "cli/catalogue_load.h"

#include <algorithm>
#include <random>

#include "base/utf.h"
#include "catalogue/package_check.h"
#include "catalogue/package_location.h"
#include "cli/catalogue_choice.h"
#include "cli/catalogue_freshness_step.h"
#include "cli/exit_codes.h"
#include "cli/hex_text.h"
#include "cli/refusal_codes.h"
#include "package/package_writer.h"
#include "protocols/package_inspection.h"

namespace {

namespace fs = std::filesystem;

// The last segment of a location, when it is a plain file name.
std::string FileName(const std::string& location)
{
    const std::string path = location.substr(0, location.find_first_of("?#"));
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const bool plain = !name.empty() && name != "." && name != ".." && name.find_first_of("\\:*\"<>|") == std::string::npos;
    return plain ? name : "package.dat";
}

PackageDownload Refused(std::string reason, std::string text) { return {{}, std::move(reason), std::move(text)}; }

}  // namespace

AcceptedCatalogue ReportCatalogue(const std::string& location, LoadedCatalogue loaded, EventOutput& out)
{
    const Catalogue& catalogue = *loaded.catalogue;
    const bool signedByKey = loaded.trust.trust == CatalogueTrust::Signed;
    const std::string trust = loaded.keyChain ? KeyChainText(loaded.keyChainVerdict)
                              : signedByKey   ? "signed by key " + HexBytes(loaded.trust.key)
                                              : "unsigned";
    nlohmann::json event = {{"event", "catalogue"}, {"location", location}, {"signed", signedByKey},
                            {"packages", catalogue.packages.size()}};
    AddCatalogueHeader(event, catalogue);
    if (loaded.keyChain)
        event["keySet"] = loaded.keyChain->final.version;
    out.Message(location + ": " + std::to_string(catalogue.packages.size()) + " packages, " + trust + "; " +
                    catalogue.repository + " version " + std::to_string(catalogue.version) + ", expires " +
                    UtcTimeText(catalogue.expires),
                event);
    return {location, std::move(*loaded.catalogue), loaded.sha256, trust};
}

std::optional<AcceptedCatalogue> LoadAndReport(const CatalogueServices& services, const CliOptions& options,
                                               const FetchContext& context, EventOutput& out, int& code)
{
    const auto judge = [&](const CliOptions& at, const LoadedCatalogue& loaded) {
        return JudgeAndRemember(services, at, *loaded.catalogue, loaded.sha256, loaded.keyChain, out);
    };
    CatalogueChoice choice = ChooseCatalogue(services, options, context, judge);
    // With none taken, the catalogue's own cause is the refusal, as without mirrors.
    const CatalogueSkip* refusal = nullptr;
    for (const CatalogueSkip& skip : choice.skipped) {
        if (!choice.location && !skip.mirror && !choice.interrupted) {
            refusal = &skip;
            continue;
        }
        const std::string line = SkipText(skip);
        nlohmann::json event = {{"event", "catalogue-skipped"}, {"location", skip.location},
                                {"reason", skip.reason}, {"message", line}};
        if (skip.catalogue)
            AddCatalogueHeader(event, *skip.catalogue);
        out.Message(line, event);
    }
    if (choice.location)
        return ReportCatalogue(*choice.location, std::move(choice.chosen), out);
    code = choice.interrupted ? kExitInterrupted : kExitCatalogueRefused;
    const std::string reason = choice.interrupted ? choice.chosen.reason : refusal->reason;
    const std::string line = (choice.interrupted ? choice.chosen.refusal : refusal->line) + ". Nothing was sent.";
    nlohmann::json event = {{"event", "failed"}, {"reason", reason}, {"message", line}, {"exitCode", code}};
    if (refusal != nullptr && refusal->catalogue)
        AddCatalogueHeader(event, *refusal->catalogue);
    out.Message(line, event);
    return std::nullopt;
}

PackageDownload DownloadPackage(const CatalogueServices& services, const std::string& catalogueLocation,
                                const CatalogueEntry& entry, const FetchContext& context, const fs::path& folder,
                                const std::function<void(std::size_t received)>& received)
{
    const auto location = ResolvePackageLocation(catalogueLocation, entry.file);
    if (!location)
        return Refused(kReasonPackageLocation,
                       entry.file + ": a package must be an http(s) URL or a path inside the catalogue's folder.");
    // One byte more than listed tells a longer package from the listed one.
    const std::size_t limit = static_cast<std::size_t>(std::min<std::uint64_t>(entry.size + 1, kMaxDownloadBytes));
    const FetchResult fetched = FetchLocation(services, *location, limit, context, received);
    if (fetched.problem == FetchProblem::TooLarge)
        return Refused(kReasonPackageMismatch, *location + ": " + PackageMismatchText(PackageMismatch::Size) + ".");
    if (fetched.problem != FetchProblem::None)
        return Refused(fetched.problem == FetchProblem::Stopped ? kReasonInterrupted : kReasonPackageUnreachable,
                       *location + ": the package cannot be downloaded: " + FetchProblemText(fetched) + ".");
    const std::string path = Utf16ToUtf8((folder / Utf8ToUtf16(FileName(*location))).u16string());
    if (!WriteBytesToFile(Utf8ToUtf16(path), fetched.body))
        return Refused(kReasonCannotSave, path + ": the download cannot be saved.");
    bool opened = false;
    const std::vector<InspectedRecord> records = InspectPackage(Utf8ToUtf16(path), opened);
    const PackageMismatch mismatch = CheckDownloadedPackage(fetched.body, records, entry, *services.crypto);
    if (mismatch != PackageMismatch::None) {
        std::error_code ignored;
        fs::remove(fs::path(Utf8ToUtf16(path)), ignored);
        return Refused(kReasonPackageMismatch, *location + ": " + PackageMismatchText(mismatch) + ".");
    }
    return {path, {}, {}};
}

std::optional<fs::path> TemporaryFolder()
{
    std::random_device random;
    std::error_code error;
    const fs::path dir = fs::temp_directory_path(error) / ("controller-updater-" + Hex(random(), 8));
    if (error || !fs::create_directory(dir, error))
        return std::nullopt;
    return dir;
}

void RemoveDownload(const std::string& path)
{
    std::error_code error;
    fs::remove_all(fs::path(Utf8ToUtf16(path)).parent_path(), error);
}

int DownloadExitCode(const std::string& reason)
{
    if (reason == kReasonInterrupted)
        return kExitInterrupted;
    return reason == kReasonCannotSave ? kExitFailed : kExitPackageRefused;
}
