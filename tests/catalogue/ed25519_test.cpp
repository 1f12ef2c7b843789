// Ed25519 over libgcrypt: RFC 8032's vectors, a message at the catalogue's
// size cap (far past libgcrypt's S-expression limit), and what RFC 8032
// refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gcrypt/gcrypt_verifier.h"

namespace {

std::vector<std::uint8_t> Hex(const std::string& hex)
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

template <typename Array>
Array Fixed(const std::string& hex)
{
    const auto bytes = Hex(hex);
    Array array{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), array.size()), array.begin());
    return array;
}

// The catalogue's cap, one byte pattern that no block boundary repeats.
std::vector<std::uint8_t> CapSizedMessage()
{
    std::vector<std::uint8_t> message(kMaxCatalogueBytes);
    for (std::size_t i = 0; i < message.size(); ++i)
        message[i] = static_cast<std::uint8_t>(i % 251);
    return message;
}

const char* const kTest1Seed = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60";
const char* const kTest1Key = "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a";
const char* const kTest1Signature = "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bac"
                                    "c61e39701cf9b46bd25bf5f0595bbe24655141438e7a100b";

const char* const kTest2Key = "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c";

const char* const kTest1024Message =
    "08b8b2b733424243760fe426a4b54908632110a66c2f6591eabd3345e3e4eb98fa6e264bf09efe12ee50f8f54e9f77b1"
    "e355f6c50544e23fb1433ddf73be84d879de7c0046dc4996d9e773f4bc9efe5738829adb26c81b37c93a1b270b20329d"
    "658675fc6ea534e0810a4432826bf58c941efb65d57a338bbd2e26640f89ffbc1a858efcb8550ee3a5e1998bd177e93a"
    "7363c344fe6b199ee5d02e82d522c4feba15452f80288a821a579116ec6dad2b3b310da903401aa62100ab5d1a36553e"
    "06203b33890cc9b832f79ef80560ccb9a39ce767967ed628c6ad573cb116dbefefd75499da96bd68a8a97b928a8bbc10"
    "3b6621fcde2beca1231d206be6cd9ec7aff6f6c94fcd7204ed3455c68c83f4a41da4af2b74ef5c53f1d8ac70bdcb7ed1"
    "85ce81bd84359d44254d95629e9855a94a7c1958d1f8ada5d0532ed8a5aa3fb2d17ba70eb6248e594e1a2297acbbb39d"
    "502f1a8c6eb6f1ce22b3de1a1f40cc24554119a831a9aad6079cad88425de6bde1a9187ebb6092cf67bf2b13fd65f270"
    "88d78b7e883c8759d2c4f5c65adb7553878ad575f9fad878e80a0c9ba63bcbcc2732e69485bbc9c90bfbd62481d9089b"
    "eccf80cfe2df16a2cf65bd92dd597b0707e0917af48bbb75fed413d238f5555a7a569d80c3414a8d0859dc65a46128ba"
    "b27af87a71314f318c782b23ebfe808b82b0ce26401d2e22f04d83d1255dc51addd3b75a2b1ae0784504df543af8969b"
    "e3ea7082ff7fc9888c144da2af58429ec96031dbcad3dad9af0dcbaaaf268cb8fcffead94f3c7ca495e056a9b47acdb7"
    "51fb73e666c6c655ade8297297d07ad1ba5e43f1bca32301651339e22904cc8c42f58c30c04aafdb038dda0847dd988d"
    "cda6f3bfd15c4b4c4525004aa06eeff8ca61783aacec57fb3d1f92b0fe2fd1a85f6724517b65e614ad6808d6f6ee34df"
    "f7310fdc82aebfd904b01e1dc54b2927094b2db68d6f903b68401adebf5a7e08d78ff4ef5d63653a65040cf9bfd4aca7"
    "984a74d37145986780fc0b16ac451649de6188a7dbdf191f64b5fc5e2ab47b57f7f7276cd419c17a3ca8e1b939ae49e4"
    "88acba6b965610b5480109c8b17b80e1b7b750dfc7598d5d5011fd2dcc5600a32ef5b52a1ecc820e308aa342721aac09"
    "43bf6686b64b2579376504ccc493d97e6aed3fb0f9cd71a43dd497f01f17c0e2cb3797aa2a2f256656168e6c496afc5f"
    "b93246f6b1116398a346f1a641f3b041e989f7914f90cc2c7fff357876e506b50d334ba77c225bc307ba537152f3f161"
    "0e4eafe595f6d9d90d11faa933a15ef1369546868a7f3a45a96768d40fd9d03412c091c6315cf4fde7cb68606937380d"
    "b2eaaa707b4c4185c32eddcdd306705e4dc1ffc872eeee475a64dfac86aba41c0618983f8741c5ef68d3a101e8a3b8ca"
    "c60c905c15fc910840b94c00a0b9d0";

// Signs as RFC 8032 (and an independent implementation, for the cap-sized
// message) does, verifies that, and refuses it after one changed byte.
TEST(Ed25519, SignsAndVerifiesKnownAnswers)
{
    const GcryptVerifier crypto;
    struct Case {
        const char* name;
        const char* seed;
        const char* key;
        std::vector<std::uint8_t> message;
        const char* signature;
    } cases[] = {
        {"TEST 1", kTest1Seed, kTest1Key, {}, kTest1Signature},
        {"TEST 2", "4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
         kTest2Key, {0x72},
         "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb0"
         "0d291612bb0c00"},
        {"TEST 1024", "f5e5767cf153319517630f226876b86c8160cc583bc013744c6bf255f5cc0ee5",
         "278117fc144c72340f67d0f2316e8386ceffbf2b2428c9c51fef7c597f1d426e", Hex(kTest1024Message),
         "0aab4c900501b3e24d7cdf4663326a3a87df5e4843b2cbdb67cbf6e460fec350aa5371b1508f9f4528ecea23c436d94b5e8fcd4f681e30a6ac"
         "00a9704a188a03"},
        {"4 MiB", kTest1Seed, kTest1Key, CapSizedMessage(),
         "086929e8a92bfd68404de5798dc4e120c4db12d8b32a1586e752a64edd35fcab734508ae18c9563928162c683beaacc992a6578132ac0891"
         "51fe835a95ee0501"},
    };
    for (Case& c : cases) {
        const auto key = Fixed<Ed25519PublicKey>(c.key);
        const auto expected = Fixed<Ed25519Signature>(c.signature);
        EXPECT_EQ(crypto.SignEd25519(Fixed<Ed25519Seed>(c.seed), key, c.message), expected) << c.name;
        EXPECT_TRUE(crypto.VerifyEd25519(key, c.message, expected)) << c.name;
        auto otherSignature = expected;
        otherSignature[0] ^= 1;
        EXPECT_FALSE(crypto.VerifyEd25519(key, c.message, otherSignature)) << c.name;
        if (c.message.empty())
            continue;
        c.message[c.message.size() / 2] ^= 1;
        EXPECT_FALSE(crypto.VerifyEd25519(key, c.message, expected)) << c.name;
    }
}

// Refused, and no crash: an S of L or more, and keys or R that are no
// point, or not a point's one encoding. The identity's forms sign anything
// with S = 0, so only the refusal of the form stops them.
TEST(Ed25519, RefusesWhatIsNoSignature)
{
    const GcryptVerifier crypto;
    const std::string identity = "0100000000000000000000000000000000000000000000000000000000000000";
    const std::string zeroS(64, '0');
    struct Case {
        const char* name;
        std::string key;
        std::string signature;
    } cases[] = {
        {"S + L", kTest1Key,
         "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901554c8c7872aa064e049dbb3013fbf29380d25bf5f0595bbe2465"
         "5141438e7a101b"},
        {"key y = p + 1", "eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f", identity + zeroS},
        {"key x = -0", "0100000000000000000000000000000000000000000000000000000000000080", identity + zeroS},
        {"key off the curve", "0200000000000000000000000000000000000000000000000000000000000000", identity + zeroS},
        {"R y = p + 1", identity, "eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f" + zeroS},
        {"R off the curve", identity, "0200000000000000000000000000000000000000000000000000000000000000" + zeroS},
    };
    ASSERT_TRUE(crypto.VerifyEd25519(Fixed<Ed25519PublicKey>(identity), {}, Fixed<Ed25519Signature>(identity + zeroS)));
    for (const Case& c : cases)
        EXPECT_FALSE(crypto.VerifyEd25519(Fixed<Ed25519PublicKey>(c.key), {}, Fixed<Ed25519Signature>(c.signature)))
            << c.name;
}

TEST(Ed25519, SignsOnlyWithTheSeedsOwnKey)
{
    const auto otherKey = Fixed<Ed25519PublicKey>(kTest2Key);
    EXPECT_FALSE(GcryptVerifier().SignEd25519(Fixed<Ed25519Seed>(kTest1Seed), otherKey, {}));
}

}  // namespace
