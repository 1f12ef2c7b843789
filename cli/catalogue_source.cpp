#include "cli/catalogue_source.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "base/file_open.h"
#include "base/utf.h"
#include "catalogue/package_location.h"
#include "cli/key_chain_fetch.h"
#include "cli/refusal_codes.h"

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

constexpr const char* kTrustHint =
    " (name the signer's public key with --trust KEYFILE, or take the catalogue unsigned with --allow-unsigned)";

bool IsMissing(const FetchResult& result)
{
    return result.problem == FetchProblem::HttpStatus && result.httpStatus == kNotFound;
}

LoadedCatalogue Refuse(std::string reason, std::string words)
{
    LoadedCatalogue loaded;
    loaded.reason = std::move(reason);
    loaded.refusal = std::move(words);
    return loaded;
}

// --trust-root's keys and threshold as the roots of the chain.
bool ReadRoots(const CatalogueServices& services, const KeyChainOptions& chain, const FetchContext& context,
               KeyRole& roots)
{
    roots = {{}, chain.rootThreshold};
    for (const std::string& file : chain.rootFiles) {
        const FetchResult key = FetchLocation(services, file, kMaxSignifyFileBytes, context);
        const auto parsed = key.problem == FetchProblem::None ? ParseSignifyPublicKey(Text(key.body)) : std::nullopt;
        if (!parsed)
            return false;
        roots.keys.push_back(*parsed);
    }
    return RoleSound(roots);
}

// The state as remembered, for the walk's start; any trouble with it is
// said when the catalogue is judged (cli/catalogue_freshness_step.h).
FreshnessState RememberedState(const CatalogueServices& services)
{
    if (services.memory == nullptr)
        return {};
    const TrustStoreLoad load = services.memory->Load();
    const auto state = load.status == TrustStoreStatus::Read ? ParseFreshnessState(load.text) : std::nullopt;
    return state.value_or(FreshnessState{});
}

}  // namespace

FetchResult FetchLocation(const CatalogueServices& services, const std::string& location, std::size_t maxBytes,
                          const FetchContext& context, const std::function<void(std::size_t received)>& received)
{
    if (IsHttpUrl(location) && services.fetcher != nullptr) {
        FetchLimits limits;
        limits.maxBytes = maxBytes;
        limits.stallTimeoutMs = context.stallTimeoutMs;
        limits.received = received;
        limits.deadlineMs = FetchDeadlineMs(maxBytes, context.stallTimeoutMs);
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
                              const TrustChoice& trust, const FetchContext& context,
                              const KeyChainOptions& chain)
{
    KeySet roots = BuiltInRootKeySet();
    if (!chain.rootFiles.empty() && !ReadRoots(services, chain, context, roots.root))
        return Refuse(kReasonBadTrustedKey, "--trust-root and --root-threshold: not signify public keys, or a "
                                         "threshold of 1 to their number");
    const bool chained = !roots.root.keys.empty();
    if (chained && !trust.keyFiles.empty())
        return Refuse(kReasonBadTrustedKey, "--trust is for programs without root keys; this one follows the key chain");
    std::vector<SignifyPublicKey> keys = BuiltInTrustedKeys();
    for (const std::string& file : trust.keyFiles) {
        const FetchResult key = FetchLocation(services, file, kMaxSignifyFileBytes, context);
        const auto parsed = key.problem == FetchProblem::None ? ParseSignifyPublicKey(Text(key.body)) : std::nullopt;
        if (!parsed)
            return Refuse(kReasonBadTrustedKey, file + ": not a signify public key");
        keys.push_back(*parsed);
    }
    // One byte over the limit tells a file at the limit from a larger one.
    const FetchResult fetched = FetchLocation(services, location, kMaxCatalogueBytes + 1, context);
    if (fetched.problem == FetchProblem::TooLarge)
        return Refuse("catalogue-refused", location + ": " + CatalogueProblemText(CatalogueProblem::TooLarge));
    if (fetched.problem != FetchProblem::None)
        return Refuse(fetched.problem == FetchProblem::Stopped ? kReasonInterrupted : kReasonCatalogueUnreachable,
                      location + ": the catalogue cannot be read: " + FetchProblemText(fetched));
    std::optional<std::string> signature;
    const std::size_t sigLimit = chained ? kMaxSignatureFileBytes : kMaxSignifyFileBytes;
    const FetchResult sig = FetchLocation(services, location + ".sig", sigLimit, context);
    if (sig.problem == FetchProblem::None)
        signature = Text(sig.body);
    else if (sig.problem == FetchProblem::TooLarge)
        signature = std::string();  // judged as a damaged signature file
    else if (sig.problem == FetchProblem::Stopped)
        return Refuse(kReasonInterrupted, location + ": stopped");
    else if (!IsMissing(sig))  // a server error is no answer on whether it is signed
        return Refuse(kReasonCatalogueUnreachable,
                      location + ": the catalogue's signature cannot be read: " + FetchProblemText(sig));
    LoadedCatalogue loaded;
    const bool allowed = trust.unsignedOnes == UnsignedCatalogues::Allow;
    if (chained && !(allowed && !signature)) {
        const std::string anchor = KeyChainAnchor(roots);
        const KeySet start = chain.remembered ? *chain.remembered : KeyChainStart(RememberedState(services), anchor, roots);
        loaded.keyChain = FetchKeyChain(services, location, start, chain.now.value_or(SystemUtcNow()), context);
        loaded.keyChain->anchor = anchor;
        if (context.stop.Requested())
            return Refuse(kReasonInterrupted, location + ": stopped");
        loaded.keyChainVerdict = CheckCatalogueKeys(fetched.body, signature, *loaded.keyChain, *services.crypto);
        if (loaded.keyChainVerdict.problem != KeyChainProblem::None)
            return Refuse(kReasonCatalogueUntrusted, location + ": " + KeyChainText(loaded.keyChainVerdict));
        loaded.trust.trust = CatalogueTrust::Signed;
    } else {
        loaded.trust = CheckCatalogueSignature(fetched.body, signature, keys, *services.crypto, trust.unsignedOnes);
    }
    if (!loaded.trust.Accepted()) {
        const bool noKey = loaded.trust.trust == CatalogueTrust::NoTrustedKey;
        return Refuse(kReasonCatalogueUntrusted,
                      location + ": " + CatalogueTrustText(loaded.trust.trust) + (noKey ? kTrustHint : ""));
    }
    CatalogueParse parse = ParseCatalogue(Text(fetched.body));
    if (parse.problem != CatalogueProblem::None)
        return Refuse("catalogue-refused", location + ": " + CatalogueProblemText(parse.problem));
    loaded.catalogue = std::move(parse.catalogue);
    loaded.sha256 = services.crypto->Sha256(fetched.body);
    return loaded;
}
