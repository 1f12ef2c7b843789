// Fuzz target: key sets, multi-signature files and the walk over them
// (input layout in fuzz/key_chain_input.h). Checks that what parses writes
// back the same, that a walk never takes more steps than a run may, and
// that a catalogue is accepted only with an unexpired key set and enough
// distinct signers the verifier vouched for.
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/key_chain.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_entry.h"
#include "fuzz/key_chain_input.h"

namespace {

class OddVerifier final : public ISignatureVerifier {
public:
    bool VerifyEd25519(const Ed25519PublicKey& key, std::span<const std::uint8_t>,
                       const Ed25519Signature& signature) const override
    {
        ++calls;
        const bool yes = (signature[0] & 1) != 0;
        if (yes)
            vouchedKeys.insert(key);
        return yes;
    }
    Sha256Digest Sha256(std::span<const std::uint8_t>) const override { return {}; }
    std::optional<Ed25519Signature> SignEd25519(const Ed25519Seed&, const Ed25519PublicKey&,
                                                std::span<const std::uint8_t>) const override
    {
        return std::nullopt;
    }
    mutable int calls = 0;
    mutable std::set<Ed25519PublicKey> vouchedKeys;
};

class Texts final : public IKeyChainSource {
public:
    explicit Texts(std::vector<std::string_view> texts) : m_Texts(std::move(texts)) {}
    LinkFetch Fetch(std::uint64_t version, KeyChainLink& link) override
    {
        const std::size_t at = 2 * static_cast<std::size_t>(version) - 1;
        if (version == 0 || at >= m_Texts.size())
            return LinkFetch::Missing;
        link.keys = m_Texts[at];
        if (at + 1 < m_Texts.size())
            link.signature = std::string(m_Texts[at + 1]);
        return LinkFetch::Found;
    }

private:
    std::vector<std::string_view> m_Texts;
};

std::vector<std::string_view> SplitTexts(std::string_view input)
{
    std::vector<std::string_view> texts;
    for (;;) {
        const std::size_t end = input.find(kKeyChainTextSeparator);
        texts.push_back(input.substr(0, end));
        if (end == std::string_view::npos)
            return texts;
        input.remove_prefix(end + 1);
    }
}

void CheckParsers(std::string_view text)
{
    const KeySetParse parse = ParseKeySet(text);
    FUZZ_CHECK(parse.keySet.has_value() == (parse.problem == KeySetProblem::None));
    if (parse.keySet) {
        FUZZ_CHECK(parse.keySet->version >= 1 && RoleSound(parse.keySet->root) && RoleSound(parse.keySet->catalogue));
        const std::string written = KeySetJson(*parse.keySet);
        const KeySetParse again = ParseKeySet(written);
        FUZZ_CHECK(again.keySet && KeySetJson(*again.keySet) == written);
    }
    const auto signatures = ParseSignatureSet(text);
    if (signatures) {
        std::string written;
        for (const SignifySignature& s : *signatures)
            written += FormatSignifySignature(s, "");
        const auto again = ParseSignatureSet(written);
        FUZZ_CHECK(again && again->size() == signatures->size());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string_view> texts = SplitTexts({reinterpret_cast<const char*>(data), size});
    for (std::string_view text : texts)
        CheckParsers(text);

    KeySet start;
    for (std::size_t i = 0; i < kKeyChainFuzzRoots; ++i)
        start.root.keys.push_back(KeyChainFuzzRoot(i));
    start.root.threshold = kKeyChainFuzzRootThreshold;
    Texts source(texts);
    const OddVerifier crypto;
    const KeyChainWalk walk = WalkKeyChain(start, source, kKeyChainFuzzNow, crypto);
    FUZZ_CHECK(walk.final.version <= kMaxKeyChainSteps);
    FUZZ_CHECK(!KeyChainText(walk.verdict).empty());
    if (walk.verdict.problem == KeyChainProblem::None)
        FUZZ_CHECK(walk.final.version >= 1 && walk.final.expires > kKeyChainFuzzNow);
    const std::string catalogue = "catalogue";
    const KeyChainVerdict verdict = CheckCatalogueKeys(
        {reinterpret_cast<const std::uint8_t*>(catalogue.data()), catalogue.size()}, std::string(texts[0]), walk,
        crypto);
    if (verdict.problem != KeyChainProblem::None)
        return 0;
    // Accepted: by as many distinct catalogue keys as the final set asks, each vouched for.
    const KeyRole& role = walk.final.catalogue;
    FUZZ_CHECK(role.threshold >= 1 && verdict.valid >= role.threshold);
    std::size_t vouched = 0;
    for (const SignifyPublicKey& key : role.keys)
        vouched += crypto.vouchedKeys.count(key.key);
    FUZZ_CHECK(vouched >= role.threshold);
    return 0;
}
