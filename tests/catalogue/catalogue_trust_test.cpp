// Signatures, package checks and package locations: each way a download is
// refused before anything is sent.
#include <gtest/gtest.h>

#include "catalogue/catalogue_trust.h"
#include "catalogue/package_check.h"
#include "catalogue/package_location.h"
#include "platform/gcrypt/gcrypt_verifier.h"

namespace {

// RFC 8032 test 1: the seed and its public key.
constexpr Ed25519Seed kSeed = {0x9d, 0x61, 0xb1, 0x9d, 0xef, 0xfd, 0x5a, 0x60, 0xba, 0x84, 0x4a,
                               0xf4, 0x92, 0xec, 0x2c, 0xc4, 0x44, 0x49, 0xc5, 0x69, 0x7b, 0x32,
                               0x69, 0x19, 0x70, 0x3b, 0xac, 0x03, 0x1c, 0xae, 0x7f, 0x60};
constexpr Ed25519PublicKey kKey = {0xd7, 0x5a, 0x98, 0x01, 0x82, 0xb1, 0x0a, 0xb7, 0xd5, 0x4b, 0xfe,
                                   0xd3, 0xc9, 0x64, 0x07, 0x3a, 0x0e, 0xe1, 0x72, 0xf3, 0xda, 0xa6,
                                   0x23, 0x25, 0xaf, 0x02, 0x1a, 0x68, 0xf7, 0x07, 0x51, 0x1a};

std::span<const std::uint8_t> Bytes(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(CatalogueTrust, JudgesEachSignature)
{
    const GcryptVerifier crypto;
    const SignifyPublicKey trusted{{1, 2, 3, 4, 5, 6, 7, 8}, kKey};
    const SignifyPublicKey stranger{{9, 9, 9, 9, 9, 9, 9, 9}, kKey};
    const std::string catalogue = R"({"format":1,"packages":[]})";
    const auto signature = crypto.SignEd25519(kSeed, kKey, Bytes(catalogue));
    ASSERT_TRUE(signature);
    const std::string good = FormatSignifySignature({trusted.number, *signature}, "verify with key.pub");
    const std::string byStranger = FormatSignifySignature({stranger.number, *signature}, "x");
    const std::vector<SignifyPublicKey> keys{trusted};
    constexpr auto refuse = UnsignedCatalogues::Refuse;
    constexpr auto allow = UnsignedCatalogues::Allow;
    struct Case {
        const char* name;
        std::string bytes;
        std::optional<std::string> sig;
        std::vector<SignifyPublicKey> keys;
        UnsignedCatalogues unsignedOnes;
        CatalogueTrust trust;
    } cases[] = {
        {"signed", catalogue, good, keys, refuse, CatalogueTrust::Signed},
        {"no key trusted", catalogue, std::nullopt, {}, refuse, CatalogueTrust::NoTrustedKey},
        {"no key trusted, a .sig", catalogue, good, {}, refuse, CatalogueTrust::NoTrustedKey},
        {"no key trusted, unsigned allowed", catalogue, good, {}, allow, CatalogueTrust::Unsigned},
        {"no .sig", catalogue, std::nullopt, keys, refuse, CatalogueTrust::NoSignature},
        {"no .sig, unsigned allowed", catalogue, std::nullopt, keys, allow, CatalogueTrust::Unsigned},
        {"truncated .sig", catalogue, good.substr(0, good.size() - 10) + "\n", keys, allow,
         CatalogueTrust::BadSignatureFile},
        {"no comment line", catalogue, good.substr(good.find('\n') + 1), keys, refuse, CatalogueTrust::BadSignatureFile},
        {"untrusted key", catalogue, byStranger, keys, allow, CatalogueTrust::UntrustedKey},
        {"other bytes", catalogue + " ", good, keys, allow, CatalogueTrust::BadSignature},
        {"another signer's first, ours second", catalogue, byStranger + good, keys, refuse, CatalogueTrust::Signed},
        {"ours among others, over other bytes", catalogue + " ", byStranger + good, keys, allow,
         CatalogueTrust::BadSignature},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckCatalogueSignature(Bytes(c.bytes), c.sig, c.keys, crypto, c.unsignedOnes).trust, c.trust)
            << c.name;
}

TEST(CatalogueTrust, Sha256OfAKnownText)
{
    EXPECT_EQ(Sha256Hex(GcryptVerifier().Sha256(Bytes("abc"))),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(PackageCheck, RefusesWhatTheListingDoesNotSay)
{
    const GcryptVerifier crypto;
    const std::string bytes = "package bytes";
    InspectedRecord sound;
    sound.headerRead = true;
    sound.header.imageSize = 5;
    sound.header.desVersion = 140;
    CatalogueEntry entry;
    entry.size = bytes.size();
    entry.sha256 = crypto.Sha256(Bytes(bytes));
    entry.records = {sound.header};
    InspectedRecord otherVersion = sound;
    otherVersion.header.desVersion = 141;
    // Each listed field counts, the image address too (a writer that lost
    // it would list 0 and still pass its own check).
    InspectedRecord otherAddress = sound, otherType = sound, otherRevision = sound;
    otherAddress.header.imageAddress = 0x08014000;
    otherType.header.deviceType = 0x5111;
    otherRevision.header.revision = 2;
    InspectedRecord broken = sound;
    broken.problem = RecordProblem::ImagePastEnd;
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<InspectedRecord> records;
        PackageMismatch mismatch;
    } cases[] = {
        {"as listed", bytes, {sound}, PackageMismatch::None},
        {"size", bytes + "!", {sound}, PackageMismatch::Size},
        {"hash", "Package bytes", {sound}, PackageMismatch::Hash},
        {"records", bytes, {otherVersion}, PackageMismatch::Records},
        {"address", bytes, {otherAddress}, PackageMismatch::Records},
        {"type", bytes, {otherType}, PackageMismatch::Records},
        {"revision", bytes, {otherRevision}, PackageMismatch::Records},
        {"record more", bytes, {sound, sound}, PackageMismatch::Records},
        {"broken", bytes, {sound, broken}, PackageMismatch::Broken},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckDownloadedPackage(Bytes(c.bytes), c.records, entry, crypto), c.mismatch) << c.name;
}

TEST(PackageLocation, ResolvesAgainstTheCatalogue)
{
    struct Case {
        const char* base;
        std::string file;
        std::optional<std::string> resolved;
    } cases[] = {
        {"http://127.0.0.1:8000/fw/catalogue.json?x=1", "pad.dat", "http://127.0.0.1:8000/fw/pad.dat"},
        {"https://example.org", "a/b.dat", "https://example.org/a/b.dat"},
        {"/srv/fw/catalogue.json", "pad.dat", "/srv/fw/pad.dat"},
        {"catalogue.json", "pad.dat", "pad.dat"},
        {"/srv/catalogue.json", "HTTPS://host/p.dat", "HTTPS://host/p.dat"},
        {"/srv/catalogue.json", "file:///etc/passwd", std::nullopt},
        {"/srv/catalogue.json", "ftp://host/p.dat", std::nullopt},
        {"/srv/catalogue.json", "../p.dat", std::nullopt},
        {"/srv/catalogue.json", "/etc/p.dat", std::nullopt},
        {"/srv/catalogue.json", "a//p.dat", std::nullopt},
        // Cut short at the NUL, these would be "a/.." and a URL of another name.
        {"/srv/catalogue.json", std::string("a/..\0/p.dat", 11), std::nullopt},
        {"/srv/catalogue.json", std::string("http://host/p.dat\0.txt", 22), std::nullopt},
        {"/srv/catalogue.json", "p.dat\n", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolvePackageLocation(c.base, c.file), c.resolved) << c.base << " + " << c.file;
}

}  // namespace
