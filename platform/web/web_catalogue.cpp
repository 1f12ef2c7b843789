#include "platform/web/web_catalogue.h"


#include "base/utf.h"
#include "catalogue/signature_set.h"
#include "catalogue/signify_format.h"
#include "platform/web/module_file.h"
#include "protocols/package_inspection.h"

namespace {

// The page's answers as a verifier: true only for the very question asked,
// and the digest the page computed of the bytes being checked.
class AnsweredVerifier final : public ISignatureVerifier {
public:
    AnsweredVerifier(std::optional<WebCatalogue::Question> asked, bool verified, Sha256Digest digest = {})
        : m_Asked(asked), m_Verified(verified), m_Digest(digest)
    {
    }
    bool VerifyEd25519(const Ed25519PublicKey& key, std::span<const std::uint8_t>,
                       const Ed25519Signature& signature) const override
    {
        return m_Verified && m_Asked && m_Asked->key == key && m_Asked->signature == signature;
    }
    Sha256Digest Sha256(std::span<const std::uint8_t>) const override { return m_Digest; }
    std::optional<Ed25519Signature> SignEd25519(const Ed25519Seed&, const Ed25519PublicKey&,
                                                std::span<const std::uint8_t>) const override
    {
        return std::nullopt;
    }

private:
    std::optional<WebCatalogue::Question> m_Asked;
    bool m_Verified;
    Sha256Digest m_Digest;
};

}  // namespace

std::optional<WebCatalogue::Question> WebCatalogue::SignatureQuestion(
    const std::optional<std::string>& signature) const
{
    if (m_Trusted.empty() || !signature)
        return std::nullopt;
    // The first signature by a trusted key is the one WebCrypto is asked about.
    const auto parsed = signature->size() <= kMaxSignatureFileBytes ? ParseSignatureSet(*signature) : std::nullopt;
    if (!parsed)
        return std::nullopt;
    for (const SignifySignature& block : *parsed)
        for (const SignifyPublicKey& key : m_Trusted)
            if (key.number == block.number)
                return Question{key.key, block.signature};
    return std::nullopt;
}

WebCatalogue::Opened WebCatalogue::Open(const std::string& text, const std::optional<std::string>& signature,
                                        bool verified, const Memory& memory)
{
    m_Catalogue.reset();
    const AnsweredVerifier answers(SignatureQuestion(signature), verified);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    Opened opened;
    opened.trust = CheckCatalogueSignature({bytes, text.size()}, signature, m_Trusted, answers, m_UnsignedOnes);
    if (!opened.trust.Accepted())
        return opened;
    CatalogueParse parse = ParseCatalogue(text);
    opened.problem = parse.problem;
    if (!parse.catalogue)
        return opened;
    // Lost or damaged memory: the build's floors alone, as natively.
    std::optional<FreshnessState> state;
    if (memory.state) {
        state = ParseFreshnessState(*memory.state);
        opened.stateUnusable = !state;
    }
    const FreshnessRequest request{memory.clock, false, false};
    opened.judged = true;
    opened.freshness = JudgeFreshness(*parse.catalogue, memory.sha256, state.value_or(FreshnessState{}),
                                      BuiltInFreshnessFloors(), request);
    opened.refusal = FreshnessRefusalText(*parse.catalogue, opened.freshness);
    opened.expires = parse.catalogue->expires;
    if (opened.Accepted())
        m_Catalogue = std::move(parse.catalogue);
    return opened;
}

std::vector<FittingPackage> WebCatalogue::Fitting(const ControllerFacts& facts, bool withBeta) const
{
    return m_Catalogue ? FittingPackages(*m_Catalogue, facts, withBeta) : std::vector<FittingPackage>{};
}

std::size_t WebCatalogue::IndexOf(const FittingPackage& package) const
{
    return static_cast<std::size_t>(package.entry - m_Catalogue->packages.data());
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
    return CheckDownloadedPackage(bytes, records, m_Catalogue->packages[index], AnsweredVerifier({}, false, sha256));
}
