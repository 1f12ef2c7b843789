// Fuzz target: signify key and signature files, and the verdict on a signed
// catalogue (input layout in fuzz/signify_input.h). The verifier answers as
// the flags say, so the target sees whether a verdict of "signed" ever comes
// without the verifier's yes for a trusted key over exactly these bytes.
#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_trust.h"
#include "catalogue/signify_format.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_entry.h"
#include "fuzz/signify_input.h"

namespace {

class AnsweringVerifier : public ISignatureVerifier {
public:
    explicit AnsweringVerifier(bool answer) : m_Answer(answer) {}

    bool VerifyEd25519(const Ed25519PublicKey& key, std::span<const std::uint8_t> message,
                       const Ed25519Signature& signature) const override
    {
        ++calls;
        lastKey = key;
        lastMessage = message;
        lastSignature = signature;
        return m_Answer;
    }
    Sha256Digest Sha256(std::span<const std::uint8_t>) const override { return {}; }
    std::optional<Ed25519Signature> SignEd25519(const Ed25519Seed&, const Ed25519PublicKey&,
                                                std::span<const std::uint8_t>) const override
    {
        return std::nullopt;
    }

    mutable int calls = 0;
    mutable Ed25519PublicKey lastKey{};
    mutable std::span<const std::uint8_t> lastMessage;
    mutable Ed25519Signature lastSignature{};

private:
    bool m_Answer;
};

std::vector<std::string_view> SplitTexts(std::string_view input)
{
    std::vector<std::string_view> texts;
    for (;;) {
        const std::size_t end = input.find(kSignifyTextSeparator);
        texts.push_back(input.substr(0, end));
        if (end == std::string_view::npos)
            return texts;
        input.remove_prefix(end + 1);
    }
}

// The three kinds have payloads of different lengths: no text is two of them.
void CheckParsers(std::string_view text)
{
    const auto key = ParseSignifyPublicKey(text);
    const auto signature = ParseSignifySignature(text);
    const auto secret = ParseSignifySecretKey(text);
    FUZZ_CHECK(int{key.has_value()} + int{signature.has_value()} + int{secret.has_value()} <= 1);
    if (!signature)
        return;
    const auto again = ParseSignifySignature(FormatSignifySignature(*signature, "again"));
    FUZZ_CHECK(again && again->number == signature->number && again->signature == signature->signature);
}

void CheckVerdict(std::span<const std::uint8_t> catalogue, const std::optional<std::string>& signature,
                  const std::vector<SignifyPublicKey>& trusted, bool verifierSaysYes, UnsignedCatalogues unsignedOnes)
{
    const AnsweringVerifier crypto(verifierSaysYes);
    const TrustVerdict verdict = CheckCatalogueSignature(catalogue, signature, trusted, crypto, unsignedOnes);
    FUZZ_CHECK(!CatalogueTrustText(verdict.trust).empty());
    FUZZ_CHECK(crypto.calls <= 1);
    // Unsigned only when the user allowed it, and never with a .sig a key could check.
    const bool allowed = unsignedOnes == UnsignedCatalogues::Allow;
    FUZZ_CHECK(verdict.trust != CatalogueTrust::Unsigned || (allowed && (trusted.empty() || !signature)));
    if (trusted.empty()) {
        FUZZ_CHECK(crypto.calls == 0);
        FUZZ_CHECK(verdict.trust == (allowed ? CatalogueTrust::Unsigned : CatalogueTrust::NoTrustedKey));
        return;
    }
    FUZZ_CHECK(signature || verdict.trust == (allowed ? CatalogueTrust::Unsigned : CatalogueTrust::NoSignature));
    if (!verdict.Accepted() || verdict.trust == CatalogueTrust::Unsigned)
        return;
    // Signed: by a trusted key the verifier vouched for, over these bytes.
    FUZZ_CHECK(verifierSaysYes && crypto.calls == 1);
    FUZZ_CHECK(crypto.lastMessage.data() == catalogue.data() && crypto.lastMessage.size() == catalogue.size());
    const auto parsed = ParseSignifySignature(*signature);
    FUZZ_CHECK(parsed && parsed->number == verdict.key && parsed->signature == crypto.lastSignature);
    FUZZ_CHECK(std::any_of(trusted.begin(), trusted.end(), [&](const SignifyPublicKey& k) {
        return k.number == verdict.key && k.key == crypto.lastKey;
    }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t flags = data[0];
    const std::vector<std::string_view> texts = SplitTexts({reinterpret_cast<const char*>(data) + 1, size - 1});
    for (std::string_view text : texts)
        CheckParsers(text);

    std::vector<SignifyPublicKey> trusted;
    for (std::size_t i = 2; i < texts.size(); ++i)
        if (const auto key = ParseSignifyPublicKey(texts[i]))
            trusted.push_back(*key);
    std::optional<std::string> signature;
    if (texts.size() > 1 && !(flags & kSignifyNoSignature))
        signature = std::string(texts[1]);
    const std::string_view catalogue = texts[0];
    CheckVerdict({reinterpret_cast<const std::uint8_t*>(catalogue.data()), catalogue.size()}, signature, trusted,
                 (flags & kSignifyVerifierSaysYes) != 0,
                 (flags & kSignifyAllowUnsigned) != 0 ? UnsignedCatalogues::Allow : UnsignedCatalogues::Refuse);
    return 0;
}
