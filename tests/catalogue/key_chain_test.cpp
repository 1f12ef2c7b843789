// The key chain: each way a rotation, a revocation or a forged key set is
// taken or refused. Signatures are checked by a stand-in whose signature is
// the key and a digest of the bytes, so a chain of 65 steps costs nothing;
// the real Ed25519 is the CLI tests' (signify-openbsd both ways).
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "catalogue/catalogue.h"
#include "catalogue/key_chain.h"

namespace {

constexpr UtcSeconds kNow = 1'800'000'000;
constexpr UtcSeconds kYear = 365 * kSecondsPerDay;

std::span<const std::uint8_t> Bytes(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

class StandInCrypto final : public ISignatureVerifier {
public:
    static Ed25519Signature Sign(const Ed25519PublicKey& key, std::span<const std::uint8_t> message)
    {
        Ed25519Signature s{};
        std::copy(key.begin(), key.end(), s.begin());
        std::uint64_t h = 1469598103934665603u;
        for (std::uint8_t b : message)
            h = (h ^ b) * 1099511628211u;
        for (std::size_t i = 32; i < s.size(); ++i, h = h * 6364136223846793005u + 1)
            s[i] = static_cast<std::uint8_t>(h >> 56);
        return s;
    }
    bool VerifyEd25519(const Ed25519PublicKey& key, std::span<const std::uint8_t> message,
                       const Ed25519Signature& signature) const override
    {
        return signature == Sign(key, message);
    }
    Sha256Digest Sha256(std::span<const std::uint8_t>) const override { return {}; }
    std::optional<Ed25519Signature> SignEd25519(const Ed25519Seed&, const Ed25519PublicKey&,
                                                std::span<const std::uint8_t>) const override
    {
        return std::nullopt;
    }
};

SignifyPublicKey Key(int id)
{
    SignifyPublicKey key;
    key.number = {static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(id >> 8), 7};
    key.key = {static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(id >> 8), 9};
    return key;
}

KeyRole Role(std::vector<int> ids, std::size_t threshold)
{
    KeyRole role{{}, threshold};
    for (int id : ids)
        role.keys.push_back(Key(id));
    return role;
}

std::vector<int> Ids(const KeyRole& role)
{
    std::vector<int> ids;
    for (const SignifyPublicKey& k : role.keys)
        ids.push_back(k.number[0] | k.number[1] << 8);
    return ids;
}

std::string Sign(const std::string& text, const std::vector<int>& signers)
{
    std::string sig;
    for (int id : signers)
        sig += FormatSignifySignature({Key(id).number, StandInCrypto::Sign(Key(id).key, Bytes(text))}, "k");
    return sig;
}

// A publisher's site: key sets 1..n, each with fresh roots 10v+1..10v+3 (2
// of 3) and one catalogue key 1000+v, signed by every old and new root; the
// build's roots are 1, 2, 3. Cases change the plan before it is published.
struct Plan {
    explicit Plan(int steps)
    {
        for (int v = 1; v <= steps; ++v)
            sets[v] = {static_cast<std::uint64_t>(v), kNow + kYear, Role({10 * v + 1, 10 * v + 2, 10 * v + 3}, 2),
                       Role({1000 + v}, 1)};
        catalogueSigners = {1000 + steps};
    }
    const KeySet& Previous(int v) { return v == 1 ? builtIn : sets[v - 1]; }
    std::vector<int> Signers(int v)
    {
        if (signers.count(v))
            return signers[v];
        std::vector<int> ids = Ids(Previous(v).root);
        for (int id : Ids(sets[v].root))
            ids.push_back(id);
        return ids;
    }

    KeySet builtIn{0, 0, Role({1, 2, 3}, 2), {}};
    KeySet start = builtIn;  // where the walk begins
    std::map<int, KeySet> sets;
    std::map<int, std::vector<int>> signers;
    std::map<int, std::string> served;  // in place of a key set's text
    std::vector<int> catalogueSigners;
    int unreadable = 0;
};

class Site final : public IKeyChainSource {
public:
    explicit Site(Plan& plan)
    {
        for (auto& [v, set] : plan.sets) {
            const std::string text = plan.served.count(v) ? plan.served[v] : KeySetJson(set);
            m_Links[static_cast<std::uint64_t>(v)] = {text, Sign(text, plan.Signers(v))};
        }
        m_Unreadable = static_cast<std::uint64_t>(plan.unreadable);
    }
    LinkFetch Fetch(std::uint64_t version, KeyChainLink& link) override
    {
        if (version == m_Unreadable)
            return LinkFetch::Failed;
        const auto found = m_Links.find(version);
        if (found == m_Links.end())
            return LinkFetch::Missing;
        link = found->second;
        return LinkFetch::Found;
    }

private:
    std::map<std::uint64_t, KeyChainLink> m_Links;
    std::uint64_t m_Unreadable = 0;
};

const std::string kCatalogue = R"({"format":2,"type":"catalogue","packages":[]})";

TEST(KeyChain, WalksRotationsAndRefusesEachForgery)
{
    const StandInCrypto crypto;
    struct Case {
        const char* name;
        int steps;
        std::function<void(Plan&)> change;
        KeyChainProblem problem;
        std::uint64_t finalVersion;
    } cases[] = {
        {"rotation, 4 steps", 4, [](Plan&) {}, KeyChainProblem::None, 4},
        {"from a remembered key set", 4, [](Plan& p) { p.start = p.sets[2]; }, KeyChainProblem::None, 4},
        {"a gap: 3 missing, 4 there", 4, [](Plan& p) { p.sets.erase(3); }, KeyChainProblem::CatalogueShort, 2},
        {"4 left out the catalogue key of 3", 4, [](Plan& p) { p.catalogueSigners = {1003}; },
         KeyChainProblem::RevokedKey, 4},
        {"catalogue threshold not met", 4,
         [](Plan& p) {
             p.sets[4].catalogue = Role({1004, 1005}, 2);
             p.catalogueSigners = {1004};
         },
         KeyChainProblem::CatalogueShort, 4},
        {"a catalogue key signing twice counts once", 4,
         [](Plan& p) {
             p.sets[4].catalogue = Role({1004, 1005}, 2);
             p.catalogueSigners = {1004, 1004};
         },
         KeyChainProblem::CatalogueShort, 4},
        {"a root signing twice counts once", 4, [](Plan& p) { p.signers[2] = {11, 11, 21, 22}; },
         KeyChainProblem::OldRootsShort, 1},
        {"old roots only", 4, [](Plan& p) { p.signers[2] = {11, 12, 13}; }, KeyChainProblem::NewRootsShort, 1},
        {"new roots only", 4, [](Plan& p) { p.signers[2] = {21, 22, 23}; }, KeyChainProblem::OldRootsShort, 1},
        {"built-in roots below threshold", 4, [](Plan& p) { p.signers[1] = {1, 11, 12}; },
         KeyChainProblem::OldRootsShort, 0},
        {"65 steps: one run takes 64", 65, [](Plan&) {}, KeyChainProblem::CatalogueShort, 64},
        {"64 steps", 64, [](Plan&) {}, KeyChainProblem::None, 64},
        {"expired final key set", 4, [](Plan& p) { p.sets[4].expires = kNow; }, KeyChainProblem::Expired, 4},
        {"expired key set passed on the way", 4, [](Plan& p) { p.sets[2].expires = kNow - kYear; },
         KeyChainProblem::None, 4},
        {"3.keys.json saying version 2", 4, [](Plan& p) { p.served[3] = KeySetJson(p.sets[2]); },
         KeyChainProblem::WrongVersion, 2},
        {"a catalogue served as 2.keys.json", 4, [](Plan& p) { p.served[2] = kCatalogue; },
         KeyChainProblem::BadKeySet, 1},
        {"key set 3 unreadable", 4, [](Plan& p) { p.unreadable = 3; }, KeyChainProblem::Unreachable, 2},
        {"nothing published", 0, [](Plan&) {}, KeyChainProblem::NoKeySet, 0},
    };
    for (const Case& c : cases) {
        Plan plan(c.steps);
        c.change(plan);
        Site site(plan);
        const KeyChainWalk walk = WalkKeyChain(plan.start, site, kNow, crypto);
        const std::string catalogueSig = Sign(kCatalogue, plan.catalogueSigners);
        const KeyChainVerdict verdict = CheckCatalogueKeys(Bytes(kCatalogue), catalogueSig, walk, crypto);
        EXPECT_EQ(verdict.problem, c.problem) << c.name << ": " << KeyChainText(verdict);
        EXPECT_EQ(walk.final.version, c.finalVersion) << c.name;
        EXPECT_FALSE(KeyChainText(verdict).empty()) << c.name;
    }
}

TEST(KeyChain, EachFileRefusesTheOther)
{
    KeySet set{1, kNow, Role({1, 2}, 2), Role({3}, 1)};
    Catalogue catalogue{"pads", 1, kNow, kNow + kYear, {}, {}};
    EXPECT_EQ(ParseCatalogue(KeySetJson(set)).problem, CatalogueProblem::WrongType);
    EXPECT_EQ(ParseKeySet(CatalogueJson(catalogue)).problem, KeySetProblem::WrongType);
}

TEST(KeySet, RefusesUnsoundSets)
{
    const std::string sound = KeySetJson({1, kNow, Role({1, 2, 3}, 2), Role({4}, 1)});
    std::vector<int> seventeen;
    for (int id = 1; id <= 17; ++id)
        seventeen.push_back(id);
    struct Case {
        const char* name;
        std::string text;
        KeySetProblem problem;
    } cases[] = {
        {"sound", sound, KeySetProblem::None},
        {"threshold above the keys", KeySetJson({1, kNow, Role({1, 2}, 3), Role({4}, 1)}), KeySetProblem::BadThreshold},
        {"threshold 0", KeySetJson({1, kNow, Role({1, 2}, 2), Role({4}, 0)}), KeySetProblem::BadThreshold},
        {"a key listed twice", KeySetJson({1, kNow, Role({1, 1}, 2), Role({4}, 1)}), KeySetProblem::BadKeys},
        {"17 keys", KeySetJson({1, kNow, Role(seventeen, 2), Role({4}, 1)}), KeySetProblem::BadKeys},
        {"over 64 KiB", sound + std::string(kMaxKeySetBytes, ' '), KeySetProblem::TooLarge},
        {"cut short", sound.substr(0, sound.size() / 2), KeySetProblem::Malformed},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseKeySet(c.text).problem, c.problem) << c.name;
    const auto again = ParseKeySet(sound);
    ASSERT_TRUE(again.keySet);
    EXPECT_EQ(KeySetJson(*again.keySet), sound);
}

TEST(SignatureSet, SplitsIntoSignifyBlocks)
{
    const std::string two = Sign("x", {1, 2});
    struct Case {
        const char* name;
        std::string text;
        std::size_t count;  // 0: refused
    } cases[] = {
        {"two blocks", two, 2},
        {"a line cut off", two.substr(0, two.size() - 1), 0},
        {"a line more", two + "untrusted comment: x\n", 0},
        {"empty", "", 0},
        {"over 16 KiB", two + std::string(kMaxSignatureFileBytes, '\n'), 0},
    };
    for (const Case& c : cases) {
        const auto set = ParseSignatureSet(c.text);
        EXPECT_EQ(set ? set->size() : 0, c.count) << c.name;
    }
}

}  // namespace

TEST(KeyChain, TheNextWalkStartsWhereTheLastEndedSoStolenOldRootsCannotFork)
{
    Plan real(2);
    Site realSite(real);
    KeyChainWalk first = WalkKeyChain(real.builtIn, realSite, kNow, StandInCrypto());
    first.anchor = "a";
    FreshnessState state;
    RememberKeyChain(state, first);
    const KeySet start = KeyChainStart(state, "a", real.builtIn);
    EXPECT_EQ(start.version, 2u);

    // Roots 11 and 12, rotated out by key set 2, sign a key set 2 of their own.
    Plan forged(2);
    forged.sets[2] = {2, kNow + kYear, Role({11, 12, 13}, 2), Role({666}, 1)};
    forged.signers[2] = {11, 12};
    Site forgedSite(forged);
    const std::string catalogue = kCatalogue;
    EXPECT_EQ(CheckCatalogueKeys(Bytes(catalogue), Sign(catalogue, {666}),
                                 WalkKeyChain(real.builtIn, forgedSite, kNow, StandInCrypto()), StandInCrypto())
                  .problem,
              KeyChainProblem::None);  // what a walk from the roots alone lets through
    EXPECT_EQ(CheckCatalogueKeys(Bytes(catalogue), Sign(catalogue, {666}),
                                 WalkKeyChain(start, forgedSite, kNow, StandInCrypto()), StandInCrypto())
                  .problem,
              KeyChainProblem::CatalogueShort);

    for (const std::string& kept : {std::string("not a key set"), std::string()}) {
        FreshnessState garbage;
        garbage.keyChains["a"] = kept;
        EXPECT_EQ(KeyChainStart(garbage, "a", real.builtIn).version, 0u);
    }
    KeyChainWalk large = first;
    large.finalText.assign(kMaxRememberedKeySetBytes + 1, ' ');
    FreshnessState untouched;
    RememberKeyChain(untouched, large);
    EXPECT_TRUE(untouched.keyChains.empty());
}
