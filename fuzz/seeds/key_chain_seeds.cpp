// Key chains for the key_chain target: a sound two-step rotation, and ones a
// walk must refuse or cut short: a signature the verifier refuses, a missing
// .sig, a catalogue in place of a key set, an expired last set.
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/key_set.h"
#include "fuzz/key_chain_input.h"
#include "fuzz/seeds/seeds.h"

namespace {

SignifyPublicKey Numbered(std::uint8_t n)
{
    SignifyPublicKey key;
    key.number.fill(n);
    key.key.fill(n);
    return key;
}

// One signature per key, vouched for (odd first byte) or not.
std::string Signed(const std::vector<SignifyPublicKey>& keys, bool vouched = true)
{
    std::string sig;
    for (const SignifyPublicKey& key : keys) {
        SignifySignature s{key.number, {}};
        s.signature.fill(vouched ? 0x5B : 0x5A);
        sig += FormatSignifySignature(s, "verify with key.pub");
    }
    return sig;
}

Seed Chain(std::string name, const std::vector<std::string>& texts)
{
    Seed seed{std::move(name), {}};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i != 0)
            seed.bytes.push_back(kKeyChainTextSeparator);
        seed.bytes.insert(seed.bytes.end(), texts[i].begin(), texts[i].end());
    }
    return seed;
}

}  // namespace

std::vector<Seed> KeyChainSeeds()
{
    const std::vector<SignifyPublicKey> roots = {KeyChainFuzzRoot(0), KeyChainFuzzRoot(1), KeyChainFuzzRoot(2)};
    const std::vector<SignifyPublicKey> newRoots = {Numbered(10), Numbered(11), Numbered(12)};
    const UtcSeconds later = kKeyChainFuzzNow + 365 * kSecondsPerDay;
    const KeySet one{1, later, {roots, 2}, {{Numbered(20)}, 1}};
    const KeySet two{2, later, {newRoots, 2}, {{Numbered(21), Numbered(22)}, 2}};
    KeySet expired = two;
    expired.expires = kKeyChainFuzzNow;
    const std::string oneText = KeySetJson(one);
    const std::string oneSig = Signed(roots);
    const std::string twoSig = Signed({roots[0], roots[1], newRoots[0], newRoots[1]});
    const std::string catalogueSig = Signed({Numbered(21), Numbered(22)});
    return {
        Chain("rotation", {catalogueSig, oneText, oneSig, KeySetJson(two), twoSig}),
        Chain("one_step", {Signed({Numbered(20)}), oneText, oneSig}),
        Chain("refused_signature", {catalogueSig, oneText, Signed(roots, false)}),
        Chain("no_sig", {catalogueSig, oneText}),
        Chain("catalogue_as_keys", {catalogueSig, CatalogueJson({}), oneSig}),
        Chain("expired", {catalogueSig, oneText, oneSig, KeySetJson(expired), twoSig}),
        Chain("signer_twice", {Signed({Numbered(21), Numbered(21)}), oneText, oneSig, KeySetJson(two), twoSig}),
    };
}
