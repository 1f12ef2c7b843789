#pragma once
// The page's firmware catalogue: the core reads it, judges its signatures
// (one trusted key, or the key chain from the build's root keys) and picks
// the packages that fit; the page only fetches bytes and runs WebCrypto.
// Ed25519 is asynchronous in the page and the core's rules are not, so Open
// runs them against the answers known so far: each signature not yet
// verified is recorded as a question and taken as good for that run, and
// the run's verdict does not count. The page verifies the questions, hands
// the answers back and opens again, until a run asks nothing new: that
// run's verdict rests on real answers alone, along the native rules' own
// path. Its freshness is the core's judge's too
// (catalogue/catalogue_freshness.h): the page only keeps the state's text
// (IndexedDB) and hands it in.
//
// One thread (the page's); no call waits.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/catalogue_freshness.h"
#include "catalogue/catalogue_trust.h"
#include "catalogue/key_chain.h"
#include "catalogue/package_check.h"
#include "catalogue/package_choice.h"

class WebCatalogue {
public:
    // roots: version 0 of the key chain; no root keys: the trusted keys decide.
    WebCatalogue(std::vector<SignifyPublicKey> trusted, KeySet roots, UnsignedCatalogues unsignedOnes)
        : m_Trusted(std::move(trusted)), m_Roots(std::move(roots)), m_UnsignedOnes(unsignedOnes)
    {
    }

    bool Chained() const { return !m_Roots.root.keys.empty(); }

    // A load begins: the catalogue's bytes and .sig (nullopt: none), kept
    // until the next; the key sets and answers of the last load are dropped.
    void Begin(std::string text, std::optional<std::string> signature);
    // Key set version (key sets so far) + 1, as the page fetched it.
    void AddKeySet(LinkFetch fetch, KeyChainLink link);

    struct Question {
        Ed25519PublicKey key;
        Ed25519Signature signature;
        std::span<const std::uint8_t> message;  // bytes the core keeps until the next Begin
    };
    // WebCrypto's verdicts on the last Open's questions, in their order.
    void Answer(const std::vector<bool>& verified);

    // What the page knows beside the bytes: their digest (WebCrypto), the
    // state it remembers (nullopt: none, or its storage failed) and its clock.
    struct Memory {
        Sha256Digest sha256{};
        std::optional<std::string> state;
        UtcSeconds clock = 0;
    };

    struct Opened {
        std::vector<Question> questions;  // not empty: answer them and open again; nothing else counts
        TrustVerdict trust;
        bool chained = false;         // judged by the key chain: keyChain says how
        KeyChainVerdict keyChain;
        CatalogueProblem problem = CatalogueProblem::None;
        bool judged = false;          // signed and well formed: its freshness was judged
        bool stateUnusable = false;   // the state given was not one: judged by the build's floors
        FreshnessVerdict freshness;   // with judged; changed: next differs from the state given
        std::string refusal;          // the key chain's or freshness refusal in words, "" when accepted
        UtcSeconds expires = 0;
        bool Accepted() const
        {
            return questions.empty() && trust.Accepted() && problem == CatalogueProblem::None && judged &&
                   freshness.Accepted();
        }
    };
    // Keeps the catalogue only when it is accepted.
    Opened Open(const Memory& memory);

    std::vector<FittingPackage> Fitting(const ControllerFacts& facts, bool withBeta) const;
    // The position of a fitting package's entry in the catalogue.
    std::size_t IndexOf(const FittingPackage& package) const;

    // The checks before anything is sent, for the package saved at path:
    // sha256 is the page's digest of those bytes. Index out of range: Broken.
    PackageMismatch CheckSaved(std::size_t index, const std::u16string& path, const Sha256Digest& sha256) const;

    // A verified signature: of which key, which signature, over which of
    // the kept documents (0: the catalogue, N: key set N).
    struct Known {
        Ed25519PublicKey key;
        Ed25519Signature signature;
        std::size_t document = 0;
        bool verified = false;
    };

    // Where listed package index lies, beside the catalogue at location;
    // nullopt for a file the native programs refuse too.
    std::optional<std::string> LocationOf(std::size_t index, const std::string& location) const;
    // The controllers listed package index is for; nullopt without one.
    std::optional<ControllerBinding> BindingOf(std::size_t index) const;

private:
    // The signatures' verdict (and, chained, the walk) as the native load reaches it.
    std::optional<KeyChainWalk> CheckTrust(Opened& opened, const ISignatureVerifier& crypto, UtcSeconds clock,
                                           const FreshnessState& state) const;
    void Judge(Opened& opened, const Memory& memory, const std::optional<FreshnessState>& given,
               const std::optional<KeyChainWalk>& walk);

    std::vector<SignifyPublicKey> m_Trusted;
    KeySet m_Roots;
    UnsignedCatalogues m_UnsignedOnes;
    std::string m_Text;
    std::optional<std::string> m_Signature;
    std::vector<std::pair<LinkFetch, KeyChainLink>> m_Links;
    std::vector<Known> m_Known;
    std::vector<Known> m_Asked;  // the last Open's questions
    std::optional<Catalogue> m_Catalogue;
};
