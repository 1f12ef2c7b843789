#include "catalogue/key_chain.h"

#include <algorithm>

#include "catalogue/built_in_roots.h"

namespace {

std::span<const std::uint8_t> Bytes(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

KeyChainVerdict Problem(KeyChainProblem problem, std::uint64_t version, std::size_t valid = 0,
                        std::size_t needed = 0)
{
    KeyChainVerdict verdict;
    verdict.problem = problem;
    verdict.version = version;
    verdict.valid = valid;
    verdict.needed = needed;
    return verdict;
}

bool Lists(const KeyRole& role, const SignifyKeyNumber& number)
{
    return std::any_of(role.keys.begin(), role.keys.end(), [&](const SignifyPublicKey& k) { return k.number == number; });
}

// The catalogue keys of passed that final no longer lists.
std::vector<SignifyKeyNumber> Revoked(const std::vector<KeySet>& passed, const KeySet& final)
{
    std::vector<SignifyKeyNumber> revoked;
    for (const KeySet& set : passed)
        for (const SignifyPublicKey& key : set.catalogue.keys)
            if (!Lists(final.catalogue, key.number) &&
                std::find(revoked.begin(), revoked.end(), key.number) == revoked.end())
                revoked.push_back(key.number);
    return revoked;
}

// The key set after current, when link is it; otherwise the verdict says why not.
std::optional<KeySet> NextKeySet(const KeySet& current, const KeyChainLink& link, const ISignatureVerifier& crypto,
                                 KeyChainVerdict& verdict)
{
    const std::uint64_t version = current.version + 1;
    KeySetParse parse = ParseKeySet(link.keys);
    if (!parse.keySet) {
        verdict = Problem(KeyChainProblem::BadKeySet, version);
        verdict.keySetProblem = parse.problem;
        return std::nullopt;
    }
    if (parse.keySet->version != version) {
        verdict = Problem(KeyChainProblem::WrongVersion, version);
        return std::nullopt;
    }
    if (!link.signature) {
        verdict = Problem(KeyChainProblem::NoSignature, version);
        return std::nullopt;
    }
    const auto signatures = ParseSignatureSet(*link.signature);
    if (!signatures) {
        verdict = Problem(KeyChainProblem::BadSignatureFile, version);
        return std::nullopt;
    }
    const KeyRole* roles[] = {&current.root, &parse.keySet->root};
    const KeyChainProblem shorts[] = {KeyChainProblem::OldRootsShort, KeyChainProblem::NewRootsShort};
    for (std::size_t i = 0; i < std::size(roles); ++i) {
        const SignatureCount count = CountSignatures(Bytes(link.keys), *signatures, *roles[i], {}, crypto);
        if (count.valid < roles[i]->threshold) {
            verdict = Problem(shorts[i], version, count.valid, roles[i]->threshold);
            return std::nullopt;
        }
    }
    return std::move(parse.keySet);
}

}  // namespace

KeySet BuiltInRootKeySet()
{
    KeySet set;
    for (std::string_view text : kBuiltInRootFiles)
        if (const auto key = ParseSignifyPublicKey(text))
            set.root.keys.push_back(*key);
    set.root.threshold = kBuiltInRootThreshold;
    return set;
}

std::string KeyChainAnchor(const KeySet& roots)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string anchor = std::to_string(roots.root.threshold);
    for (const SignifyPublicKey& key : roots.root.keys) {
        anchor += '-';
        for (const std::uint8_t byte : key.number) {
            anchor += kDigits[byte >> 4];
            anchor += kDigits[byte & 0xF];
        }
    }
    return anchor;
}

KeySet KeyChainStart(const FreshnessState& state, const std::string& anchor, const KeySet& roots)
{
    const auto found = state.keyChains.find(anchor);
    if (found == state.keyChains.end())
        return roots;
    KeySetParse parse = ParseKeySet(found->second);
    if (!parse.keySet || parse.keySet->version == 0)
        return roots;
    return std::move(*parse.keySet);
}

void RememberKeyChain(FreshnessState& state, const KeyChainWalk& walk)
{
    if (walk.anchor.empty() || walk.finalText.empty() || walk.finalText.size() > kMaxRememberedKeySetBytes)
        return;
    if (!state.keyChains.contains(walk.anchor) && state.keyChains.size() >= kMaxRememberedKeyChains)
        state.keyChains.erase(state.keyChains.begin());
    state.keyChains[walk.anchor] = walk.finalText;
}

KeyChainWalk WalkKeyChain(const KeySet& start, IKeyChainSource& source, UtcSeconds now,
                          const ISignatureVerifier& crypto)
{
    KeyChainWalk walk;
    walk.final = start;
    std::vector<KeySet> passed;
    for (std::size_t step = 0;; ++step) {
        KeyChainLink link;
        const std::uint64_t version = walk.final.version + 1;
        const LinkFetch fetched = source.Fetch(version, link);
        if (fetched == LinkFetch::Missing)
            break;
        if (fetched == LinkFetch::Failed) {
            walk.verdict = Problem(KeyChainProblem::Unreachable, version);
            return walk;
        }
        if (step == kMaxKeyChainSteps) {
            walk.limited = true;
            break;
        }
        auto next = NextKeySet(walk.final, link, crypto, walk.verdict);
        if (!next)
            return walk;
        passed.push_back(std::move(walk.final));
        walk.final = std::move(*next);
        walk.finalText = std::move(link.keys);
    }
    walk.revoked = Revoked(passed, walk.final);
    if (walk.final.version == 0)
        walk.verdict = Problem(KeyChainProblem::NoKeySet, 0);
    else if (walk.final.expires <= now)
        walk.verdict = Problem(KeyChainProblem::Expired, walk.final.version);
    return walk;
}

KeyChainVerdict CheckCatalogueKeys(std::span<const std::uint8_t> catalogue, const std::optional<std::string>& signature,
                                   const KeyChainWalk& walk, const ISignatureVerifier& crypto)
{
    if (walk.verdict.problem != KeyChainProblem::None)
        return walk.verdict;
    const std::uint64_t version = walk.final.version;
    const auto signatures = signature ? ParseSignatureSet(*signature) : std::nullopt;
    if (!signatures) {
        KeyChainVerdict verdict =
            Problem(signature ? KeyChainProblem::BadSignatureFile : KeyChainProblem::NoSignature, version);
        verdict.ofCatalogue = true;
        return verdict;
    }
    const KeyRole& role = walk.final.catalogue;
    const SignatureCount count = CountSignatures(catalogue, *signatures, role, walk.revoked, crypto);
    if (count.valid >= role.threshold)
        return Problem(KeyChainProblem::None, version, count.valid, role.threshold);
    return Problem(count.revokedSigner ? KeyChainProblem::RevokedKey : KeyChainProblem::CatalogueShort, version,
                   count.valid, role.threshold);
}

std::string KeyChainText(const KeyChainVerdict& verdict)
{
    const std::string set = "key set " + std::to_string(verdict.version);
    const std::string counted = std::to_string(verdict.valid) + " of the " + std::to_string(verdict.needed);
    switch (verdict.problem) {
    case KeyChainProblem::None:
        return "signed by " + counted + " catalogue keys of " + set + " it needs";
    case KeyChainProblem::Unreachable:
        return set + " cannot be read";
    case KeyChainProblem::NoSignature:
        return (verdict.ofCatalogue ? "the catalogue" : set) + " is not signed (no .sig)";
    case KeyChainProblem::BadSignatureFile:
        return (verdict.ofCatalogue ? "the catalogue's" : set + "'s") +
               " signature file is not signify signatures (cut short, damaged or too large)";
    case KeyChainProblem::BadKeySet:
        return set + ": " + KeySetProblemText(verdict.keySetProblem);
    case KeyChainProblem::WrongVersion:
        return set + " says it is another version: a gap or a replay in the key chain";
    case KeyChainProblem::OldRootsShort:
        return set + " is signed by " + counted + " previous root keys it needs (threshold not met)";
    case KeyChainProblem::NewRootsShort:
        return set + " is signed by " + counted + " of its own root keys it needs (threshold not met)";
    case KeyChainProblem::NoKeySet:
        return "no key set is published (" + KeySetFileName(1) + " in keys/ beside the catalogue)";
    case KeyChainProblem::Expired:
        return set + ", the newest, has expired";
    case KeyChainProblem::CatalogueShort:
        return "the catalogue is signed by " + counted + " catalogue keys of " + set + " it needs (threshold not met)";
    case KeyChainProblem::RevokedKey:
        return "the catalogue is signed by a key that " + set + " no longer lists (revoked)";
    }
    return {};
}
