#include "cli/key_chain_fetch.h"

#include <chrono>

#include "catalogue/package_location.h"

namespace {

constexpr int kNotFound = 404;
constexpr int kGone = 410;

class FetchedChain final : public IKeyChainSource {
public:
    FetchedChain(const CatalogueServices& services, const std::string& catalogue, const FetchContext& context)
        : m_Services(services), m_Catalogue(catalogue), m_Context(context)
    {
    }

    LinkFetch Fetch(std::uint64_t version, KeyChainLink& link) override
    {
        const auto location = ResolvePackageLocation(m_Catalogue, kKeySetFolder + KeySetFileName(version));
        if (!location)
            return LinkFetch::Failed;
        // One byte over the cap tells a file at the cap from a larger one.
        const FetchResult keys = FetchLocation(m_Services, *location, kMaxKeySetBytes + 1, m_Context);
        if (keys.problem == FetchProblem::HttpStatus && (keys.httpStatus == kNotFound || keys.httpStatus == kGone))
            return LinkFetch::Missing;
        if (keys.problem == FetchProblem::TooLarge) {
            link.keys.assign(kMaxKeySetBytes + 1, ' ');  // refused by the parser as too large
            return LinkFetch::Found;
        }
        if (keys.problem != FetchProblem::None)
            return LinkFetch::Failed;
        link.keys.assign(keys.body.begin(), keys.body.end());
        const FetchResult sig = FetchLocation(m_Services, *location + ".sig", kMaxSignatureFileBytes + 1, m_Context);
        if (sig.problem == FetchProblem::None)
            link.signature = std::string(sig.body.begin(), sig.body.end());
        else if (sig.problem == FetchProblem::TooLarge)
            link.signature = std::string();  // judged as a damaged signature file
        else if (sig.problem != FetchProblem::HttpStatus)
            return LinkFetch::Failed;
        return LinkFetch::Found;
    }

private:
    const CatalogueServices& m_Services;
    const std::string& m_Catalogue;
    const FetchContext& m_Context;
};

}  // namespace

KeyChainWalk FetchKeyChain(const CatalogueServices& services, const std::string& catalogueLocation,
                           const KeySet& start, UtcSeconds now, const FetchContext& context)
{
    FetchedChain source(services, catalogueLocation, context);
    return WalkKeyChain(start, source, now, *services.crypto);
}

UtcSeconds SystemUtcNow()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}
