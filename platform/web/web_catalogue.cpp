#include "platform/web/web_catalogue.h"

#include <algorithm>
#include <cstring>

#include "base/utf.h"
#include "catalogue/package_location.h"
#include "catalogue/signature_set.h"
#include "catalogue/signify_format.h"
#include "platform/web/module_files.h"
#include "protocols/package_inspection.h"

namespace {

std::span<const std::uint8_t> Bytes(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Answers from what WebCrypto has verified; any other signature over bytes
// the core keeps is recorded as a question and taken as good for this run.
// Bytes the core does not keep are never good.
class RecordingVerifier final : public ISignatureVerifier {
public:
    RecordingVerifier(std::span<const WebCatalogue::Known> known, std::vector<const std::string*> documents,
                      std::vector<WebCatalogue::Known>& asked)
        : m_Known(known), m_Documents(std::move(documents)), m_Asked(asked)
    {
    }
    bool VerifyEd25519(const Ed25519PublicKey& key, std::span<const std::uint8_t> message,
                       const Ed25519Signature& signature) const override
    {
        const auto document = DocumentOf(message);
        if (!document)
            return false;
        const auto same = [&](const WebCatalogue::Known& k) {
            return k.key == key && k.signature == signature && k.document == *document;
        };
        if (const auto found = std::find_if(m_Known.begin(), m_Known.end(), same); found != m_Known.end())
            return found->verified;
        if (std::none_of(m_Asked.begin(), m_Asked.end(), same))
            m_Asked.push_back({key, signature, *document, false});
        return true;
    }
    Sha256Digest Sha256(std::span<const std::uint8_t>) const override { return {}; }
    std::optional<Ed25519Signature> SignEd25519(const Ed25519Seed&, const Ed25519PublicKey&,
                                                std::span<const std::uint8_t>) const override
    {
        return std::nullopt;
    }

private:
    // The walk checks copies of the key sets: known by their bytes.
    std::optional<std::size_t> DocumentOf(std::span<const std::uint8_t> message) const
    {
        for (std::size_t i = 0; i < m_Documents.size(); ++i) {
            const std::string& d = *m_Documents[i];
            if (d.size() == message.size() && (d.empty() || std::memcmp(d.data(), message.data(), d.size()) == 0))
                return i;
        }
        return std::nullopt;
    }

    std::span<const WebCatalogue::Known> m_Known;
    std::vector<const std::string*> m_Documents;
    std::vector<WebCatalogue::Known>& m_Asked;
};

// The page's digest of a downloaded package, as a verifier's.
class DigestVerifier final : public ISignatureVerifier {
public:
    explicit DigestVerifier(const Sha256Digest& digest) : m_Digest(digest) {}
    bool VerifyEd25519(const Ed25519PublicKey&, std::span<const std::uint8_t>, const Ed25519Signature&) const override
    {
        return false;
    }
    Sha256Digest Sha256(std::span<const std::uint8_t>) const override { return m_Digest; }
    std::optional<Ed25519Signature> SignEd25519(const Ed25519Seed&, const Ed25519PublicKey&,
                                                std::span<const std::uint8_t>) const override
    {
        return std::nullopt;
    }

private:
    Sha256Digest m_Digest;
};

// The key sets as the page fetched them: after the last one, none is published.
class HeldChain final : public IKeyChainSource {
public:
    explicit HeldChain(std::span<const std::pair<LinkFetch, KeyChainLink>> links) : m_Links(links) {}
    LinkFetch Fetch(std::uint64_t version, KeyChainLink& link) override
    {
        if (version == 0 || version > m_Links.size())
            return LinkFetch::Missing;
        const auto& [fetch, held] = m_Links[version - 1];
        link = held;
        return fetch;
    }

private:
    std::span<const std::pair<LinkFetch, KeyChainLink>> m_Links;
};

}  // namespace

void WebCatalogue::Begin(std::string text, std::optional<std::string> signature)
{
    m_Text = std::move(text);
    m_Signature = std::move(signature);
    m_Links.clear();
    m_Known.clear();
    m_Asked.clear();
    m_Catalogue.reset();
}

void WebCatalogue::AddKeySet(LinkFetch fetch, KeyChainLink link)
{
    m_Links.emplace_back(fetch, std::move(link));
}

void WebCatalogue::Answer(const std::vector<bool>& verified)
{
    for (std::size_t i = 0; i < m_Asked.size() && i < verified.size(); ++i) {
        m_Asked[i].verified = verified[i];
        m_Known.push_back(m_Asked[i]);
    }
    m_Asked.clear();
}

std::optional<KeyChainWalk> WebCatalogue::CheckTrust(Opened& opened, const ISignatureVerifier& crypto,
                                                     UtcSeconds clock, const FreshnessState& state) const
{
    const bool allowed = m_UnsignedOnes == UnsignedCatalogues::Allow;
    if (!Chained() || (allowed && !m_Signature)) {
        opened.trust = CheckCatalogueSignature(Bytes(m_Text), m_Signature, m_Trusted, crypto, m_UnsignedOnes);
        return std::nullopt;
    }
    opened.chained = true;
    HeldChain source(m_Links);
    const std::string anchor = KeyChainAnchor(m_Roots);
    KeyChainWalk walk = WalkKeyChain(KeyChainStart(state, anchor, m_Roots), source, clock, crypto);
    walk.anchor = anchor;
    opened.keyChain = CheckCatalogueKeys(Bytes(m_Text), m_Signature, walk, crypto);
    const bool good = opened.keyChain.problem == KeyChainProblem::None;
    opened.trust.trust = good ? CatalogueTrust::Signed : CatalogueTrust::BadSignature;
    if (!good)
        opened.refusal = KeyChainText(opened.keyChain);
    return walk;
}

WebCatalogue::Opened WebCatalogue::Open(const Memory& memory)
{
    m_Catalogue.reset();
    m_Asked.clear();
    std::vector<const std::string*> documents{&m_Text};
    for (const auto& link : m_Links)
        documents.push_back(&link.second.keys);
    const RecordingVerifier crypto(m_Known, std::move(documents), m_Asked);
    Opened opened;
    // Lost or damaged memory: the build's floors alone, as natively.
    std::optional<FreshnessState> given;
    if (memory.state) {
        given = ParseFreshnessState(*memory.state);
        opened.stateUnusable = !given;
    }
    const std::optional<KeyChainWalk> walk = CheckTrust(opened, crypto, memory.clock, given.value_or(FreshnessState{}));
    for (const Known& asked : m_Asked) {
        const std::string& document = asked.document == 0 ? m_Text : m_Links[asked.document - 1].second.keys;
        opened.questions.push_back({asked.key, asked.signature, Bytes(document)});
    }
    if (!opened.questions.empty() || !opened.trust.Accepted())
        return opened;
    Judge(opened, memory, given, walk);
    return opened;
}

void WebCatalogue::Judge(Opened& opened, const Memory& memory, const std::optional<FreshnessState>& given,
                         const std::optional<KeyChainWalk>& walk)
{
    CatalogueParse parse = ParseCatalogue(m_Text);
    opened.problem = parse.problem;
    if (!parse.catalogue)
        return;
    FreshnessState state = given.value_or(FreshnessState{});
    const std::string& repository = parse.catalogue->repository;
    if (walk && !FollowKeySet(state, repository, walk->final.version, !walk->revoked.empty())) {
        opened.judged = true;
        opened.freshness.problem = FreshnessProblem::Older;
        opened.freshness.next = state;
        opened.refusal = KeySetRollbackText(state, repository, walk->final.version);
        return;
    }
    const FreshnessRequest request{memory.clock, false, false};
    opened.judged = true;
    opened.freshness = JudgeFreshness(*parse.catalogue, memory.sha256, state, BuiltInFreshnessFloors(), request);
    opened.refusal = FreshnessRefusalText(*parse.catalogue, opened.freshness);
    opened.expires = parse.catalogue->expires;
    if (!opened.Accepted())
        return;
    if (walk) {
        opened.freshness.next.repositories[repository].keySetVersion = walk->final.version;
        RememberKeyChain(opened.freshness.next, *walk);
    }
    opened.freshness.changed = opened.freshness.next != given.value_or(FreshnessState{});
    m_Catalogue = std::move(parse.catalogue);
}

std::vector<FittingPackage> WebCatalogue::Fitting(const ControllerFacts& facts, bool withBeta) const
{
    return m_Catalogue ? FittingPackages(*m_Catalogue, facts, withBeta) : std::vector<FittingPackage>{};
}

std::size_t WebCatalogue::IndexOf(const FittingPackage& package) const
{
    return static_cast<std::size_t>(package.entry - m_Catalogue->packages.data());
}

std::optional<std::string> WebCatalogue::LocationOf(std::size_t index, const std::string& location) const
{
    if (!m_Catalogue || index >= m_Catalogue->packages.size())
        return std::nullopt;
    return ResolvePackageLocation(location, m_Catalogue->packages[index].file);
}

std::optional<ControllerBinding> WebCatalogue::BindingOf(std::size_t index) const
{
    if (!m_Catalogue || index >= m_Catalogue->packages.size())
        return std::nullopt;
    return m_Catalogue->packages[index].binding;
}

PackageMismatch WebCatalogue::CheckSaved(std::size_t index, const std::u16string& path,
                                         const Sha256Digest& sha256) const
{
    if (!m_Catalogue || index >= m_Catalogue->packages.size())
        return PackageMismatch::Broken;
    const std::optional<std::string> saved = ReadModuleFile(Utf16ToUtf8(path));
    bool opened = false;
    const std::vector<InspectedRecord> records = InspectPackage(path, opened);
    if (!saved || !opened)
        return PackageMismatch::Broken;
    const std::span bytes(reinterpret_cast<const std::uint8_t*>(saved->data()), saved->size());
    return CheckDownloadedPackage(bytes, records, m_Catalogue->packages[index], DigestVerifier(sha256));
}
