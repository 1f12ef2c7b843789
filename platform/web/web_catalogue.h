#pragma once
// The page's firmware catalogue: the core reads it, judges its signature and
// picks the packages that fit; the page only fetches bytes and runs
// WebCrypto. Ed25519 and SHA-256 are asynchronous in the page, so a check
// crosses in two steps: the core says which key and signature to verify
// (SignatureQuestion), the page verifies, and the core's own rules
// (CheckCatalogueSignature) take that answer as the verifier's. Its
// freshness is the core's judge's too (catalogue/catalogue_freshness.h):
// the page only keeps the state's text (IndexedDB) and hands it in.
//
// One thread (the page's); no call waits.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/catalogue_freshness.h"
#include "catalogue/catalogue_trust.h"
#include "catalogue/package_check.h"
#include "catalogue/package_choice.h"

class WebCatalogue {
public:
    WebCatalogue(std::vector<SignifyPublicKey> trusted, UnsignedCatalogues unsignedOnes)
        : m_Trusted(std::move(trusted)), m_UnsignedOnes(unsignedOnes)
    {
    }

    struct Question {
        Ed25519PublicKey key;
        Ed25519Signature signature;
    };
    // What WebCrypto must verify over the catalogue's bytes; nullopt when
    // the verdict needs no cryptography (no key trusted, no or a broken
    // .sig, a key not trusted).
    std::optional<Question> SignatureQuestion(const std::optional<std::string>& signature) const;

    // What the page knows beside the bytes: their digest (WebCrypto), the
    // state it remembers (nullopt: none, or its storage failed) and its clock.
    struct Memory {
        Sha256Digest sha256{};
        std::optional<std::string> state;
        UtcSeconds clock = 0;
    };

    struct Opened {
        TrustVerdict trust;
        CatalogueProblem problem = CatalogueProblem::None;
        bool judged = false;          // signed and well formed: its freshness was judged
        bool stateUnusable = false;   // the state given was not one: judged by the build's floors
        FreshnessVerdict freshness;   // with judged
        std::string refusal;          // the freshness refusal in words, "" when accepted
        UtcSeconds expires = 0;
        bool Accepted() const
        {
            return trust.Accepted() && problem == CatalogueProblem::None && judged && freshness.Accepted();
        }
    };
    // verified: the page's answer to SignatureQuestion. Keeps the catalogue
    // only when it is accepted.
    Opened Open(const std::string& text, const std::optional<std::string>& signature, bool verified,
                const Memory& memory);

    std::vector<FittingPackage> Fitting(const ControllerFacts& facts, bool withBeta) const;
    // The position of a fitting package's entry in the catalogue.
    std::size_t IndexOf(const FittingPackage& package) const;

    // The checks before anything is sent, for the package saved at path:
    // sha256 is the page's digest of those bytes. Index out of range: Broken.
    PackageMismatch CheckSaved(std::size_t index, const std::u16string& path, const Sha256Digest& sha256) const;

private:
    std::vector<SignifyPublicKey> m_Trusted;
    UnsignedCatalogues m_UnsignedOnes;
    std::optional<Catalogue> m_Catalogue;
};
