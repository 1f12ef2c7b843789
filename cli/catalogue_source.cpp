#include "cli/catalogue_source.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "base/file_open.h"
#include "base/utf.h"
#include "catalogue/package_location.h"

namespace {

constexpr int kNotFound = 404;

FetchResult ReadLocalFile(const std::string& path, std::size_t maxBytes)
{
    FetchResult result;
    std::error_code error;
    const std::filesystem::path file(Utf8ToUtf16(path));
    if (!std::filesystem::is_regular_file(file, error)) {
        result.problem = FetchProblem::HttpStatus;
        result.httpStatus = kNotFound;
        return result;
    }
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size > maxBytes) {
        result.problem = error ? FetchProblem::Network : FetchProblem::TooLarge;
        return result;
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(OpenFileU16(Utf8ToUtf16(path), "rb"), std::fclose);
    result.body.resize(static_cast<std::size_t>(size));
    if (!f || std::fread(result.body.data(), 1, result.body.size(), f.get()) != result.body.size()) {
        result.problem = FetchProblem::Network;
        result.detail = "cannot read " + path;
        result.body.clear();
    }
    return result;
}

std::string Text(const std::vector<std::uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

LoadedCatalogue Refuse(std::string reason, std::string words)
{
    LoadedCatalogue loaded;
    loaded.reason = std::move(reason);
    loaded.refusal = std::move(words);
    return loaded;
}

}  // namespace

FetchResult FetchLocation(const CatalogueServices& services, const std::string& location, std::size_t maxBytes,
                          const FetchContext& context)
{
    if (IsHttpUrl(location) && services.fetcher != nullptr) {
        FetchLimits limits;
        limits.maxBytes = maxBytes;
        limits.stallTimeoutMs = context.stallTimeoutMs;
        return services.fetcher->Fetch(location, limits, context.stop);
    }
    if (location.find("://") != std::string::npos) {  // another scheme, or no fetcher for this one
        FetchResult result;
        result.problem = FetchProblem::BadScheme;
        return result;
    }
    return ReadLocalFile(location, maxBytes);
}

LoadedCatalogue LoadCatalogue(const CatalogueServices& services, const std::string& location,
                              const std::vector<std::string>& trustFiles, const FetchContext& context)
{
    std::vector<SignifyPublicKey> keys = BuiltInTrustedKeys();
    for (const std::string& file : trustFiles) {
        const FetchResult key = FetchLocation(services, file, kMaxSignifyFileBytes, context);
        const auto parsed = key.problem == FetchProblem::None ? ParseSignifyPublicKey(Text(key.body)) : std::nullopt;
        if (!parsed)
            return Refuse("bad-trusted-key", file + ": not a signify public key");
        keys.push_back(*parsed);
    }
    // One byte over the limit tells a file at the limit from a larger one.
    const FetchResult fetched = FetchLocation(services, location, kMaxCatalogueBytes + 1, context);
    if (fetched.problem == FetchProblem::TooLarge)
        return Refuse("catalogue-refused", location + ": " + CatalogueProblemText(CatalogueProblem::TooLarge));
    if (fetched.problem != FetchProblem::None)
        return Refuse(fetched.problem == FetchProblem::Stopped ? "interrupted" : "catalogue-unreachable",
                      location + ": the catalogue cannot be read: " + FetchProblemText(fetched));
    std::optional<std::string> signature;
    const FetchResult sig = FetchLocation(services, location + ".sig", kMaxSignifyFileBytes, context);
    if (sig.problem == FetchProblem::None)
        signature = Text(sig.body);
    else if (sig.problem == FetchProblem::TooLarge)
        signature = std::string();  // judged as a damaged signature file
    else if (sig.problem == FetchProblem::Stopped)
        return Refuse("interrupted", location + ": stopped");
    LoadedCatalogue loaded;
    loaded.trust = CheckCatalogueSignature(fetched.body, signature, keys, *services.crypto);
    if (!loaded.trust.Accepted())
        return Refuse("catalogue-untrusted", location + ": " + CatalogueTrustText(loaded.trust.trust));
    CatalogueParse parse = ParseCatalogue(Text(fetched.body));
    if (parse.problem != CatalogueProblem::None)
        return Refuse("catalogue-refused", location + ": " + CatalogueProblemText(parse.problem));
    loaded.catalogue = std::move(parse.catalogue);
    loaded.sha256 = services.crypto->Sha256(fetched.body);
    return loaded;
}
