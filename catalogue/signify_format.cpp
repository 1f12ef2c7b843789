#include "catalogue/signify_format.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::string_view kCommentPrefix = "untrusted comment: ";
constexpr std::string_view kAlgorithm = "Ed";
constexpr std::string_view kKdfAlgorithm = "BK";
constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Secret key layout after "Ed": kdf "BK", 4 rounds, 16 salt, 8 checksum,
// 8 key number, 64 key (seed then public key).
constexpr std::size_t kSecretKdfAt = 2;
constexpr std::size_t kSecretRoundsAt = 4;
constexpr std::size_t kSecretSaltAt = 8;
constexpr std::size_t kSecretNumberAt = 32;
constexpr std::size_t kSecretSeedAt = 40;
constexpr std::size_t kSecretKeyAt = 72;
constexpr std::size_t kSecretSize = 104;
constexpr std::size_t kNumberAt = 2;
constexpr std::size_t kPayloadAt = 10;

std::optional<std::vector<std::uint8_t>> Base64Decode(std::string_view text)
{
    std::vector<std::uint8_t> out;
    std::uint32_t bits = 0;
    int count = 0;
    std::size_t padding = 0;
    for (char c : text) {
        if (c == '=') {
            ++padding;
            continue;
        }
        const char* at = std::find(kBase64, kBase64 + 64, c);
        if (at == kBase64 + 64 || padding != 0)
            return std::nullopt;
        bits = bits << 6 | static_cast<std::uint32_t>(at - kBase64);
        if (++count == 4) {
            out.push_back(static_cast<std::uint8_t>(bits >> 16));
            out.push_back(static_cast<std::uint8_t>(bits >> 8));
            out.push_back(static_cast<std::uint8_t>(bits));
            bits = 0;
            count = 0;
        }
    }
    if ((count + padding) % 4 != 0 || padding > 2 || count == 1)
        return std::nullopt;
    if (count == 2)
        out.push_back(static_cast<std::uint8_t>(bits >> 4));
    if (count == 3) {
        out.push_back(static_cast<std::uint8_t>(bits >> 10));
        out.push_back(static_cast<std::uint8_t>(bits >> 2));
    }
    return out;
}

std::string Base64Encode(const std::vector<std::uint8_t>& bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t bits = static_cast<std::uint32_t>(bytes[i]) << 16;
        if (n > 1)
            bits |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
        if (n > 2)
            bits |= bytes[i + 2];
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= n ? kBase64[(bits >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

// The decoded second line, when the file is a signify file of exactly size
// bytes for Ed25519.
std::optional<std::vector<std::uint8_t>> Payload(std::string_view text, std::size_t size)
{
    if (!text.starts_with(kCommentPrefix))
        return std::nullopt;
    const std::size_t lineEnd = text.find('\n');
    if (lineEnd == std::string_view::npos)
        return std::nullopt;
    std::string_view line = text.substr(lineEnd + 1);
    const std::size_t end = line.find('\n');
    // signify ends the line with a line feed and ignores what follows it.
    if (end == std::string_view::npos)
        return std::nullopt;
    line = line.substr(0, end);
    auto bytes = Base64Decode(line);
    if (!bytes || bytes->size() != size || !std::equal(kAlgorithm.begin(), kAlgorithm.end(), bytes->begin()))
        return std::nullopt;
    return bytes;
}

template <std::size_t N>
void CopyOut(const std::vector<std::uint8_t>& bytes, std::size_t at, std::array<std::uint8_t, N>& out)
{
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), N, out.begin());
}

template <std::size_t N>
void Append(std::vector<std::uint8_t>& bytes, const std::array<std::uint8_t, N>& in)
{
    bytes.insert(bytes.end(), in.begin(), in.end());
}

std::string File(std::string_view comment, const std::vector<std::uint8_t>& bytes)
{
    return std::string(kCommentPrefix) + std::string(comment) + "\n" + Base64Encode(bytes) + "\n";
}

// Sized at once: growing a two-byte vector by insert trips a false
// array-bounds warning in the mingw build's optimiser.
std::vector<std::uint8_t> Start(const SignifyKeyNumber& number)
{
    std::vector<std::uint8_t> bytes(kAlgorithm.size() + number.size());
    std::copy(kAlgorithm.begin(), kAlgorithm.end(), bytes.begin());
    std::copy(number.begin(), number.end(), bytes.begin() + static_cast<std::ptrdiff_t>(kAlgorithm.size()));
    return bytes;
}

// A key or signature file: its key number and N payload bytes.
template <std::size_t N>
bool ParseNumbered(std::string_view text, SignifyKeyNumber& number, std::array<std::uint8_t, N>& payload)
{
    const auto bytes = Payload(text, kPayloadAt + N);
    if (!bytes)
        return false;
    CopyOut(*bytes, kNumberAt, number);
    CopyOut(*bytes, kPayloadAt, payload);
    return true;
}

}  // namespace

std::optional<SignifyPublicKey> ParseSignifyPublicKey(std::string_view text)
{
    SignifyPublicKey key;
    if (!ParseNumbered(text, key.number, key.key))
        return std::nullopt;
    return key;
}

std::optional<SignifySignature> ParseSignifySignature(std::string_view text)
{
    SignifySignature signature;
    if (!ParseNumbered(text, signature.number, signature.signature))
        return std::nullopt;
    return signature;
}

std::optional<SignifySecretKey> ParseSignifySecretKey(std::string_view text)
{
    const auto bytes = Payload(text, kSecretSize);
    if (!bytes || !std::equal(kKdfAlgorithm.begin(), kKdfAlgorithm.end(), bytes->begin() + kSecretKdfAt))
        return std::nullopt;
    // Rounds other than 0 mean the key is xored with a passphrase's stream.
    if (!std::all_of(bytes->begin() + kSecretRoundsAt, bytes->begin() + kSecretSaltAt,
                     [](std::uint8_t b) { return b == 0; }))
        return std::nullopt;
    SignifySecretKey key;
    CopyOut(*bytes, kSecretNumberAt, key.number);
    CopyOut(*bytes, kSecretSeedAt, key.seed);
    CopyOut(*bytes, kSecretKeyAt, key.key);
    return key;
}

std::string FormatSignifySignature(const SignifySignature& signature, std::string_view comment)
{
    std::vector<std::uint8_t> bytes = Start(signature.number);
    Append(bytes, signature.signature);
    return File(comment, bytes);
}

std::string FormatSignifyPublicKey(const SignifyPublicKey& key, std::string_view comment)
{
    std::vector<std::uint8_t> bytes = Start(key.number);
    Append(bytes, key.key);
    return File(comment, bytes);
}
