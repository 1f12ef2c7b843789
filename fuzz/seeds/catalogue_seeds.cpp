// Catalogues as `catalogue make` writes them and by hand, one at the records
// limit, and ones a reader must refuse: cut short, an older format, another
// type, nesting past the format's, an entry with a field missing, empty or
// of the wrong kind, one record too many, a binding short of a field. Signify files: a public key, a signature by the
// same key number, an unencrypted secret key and damaged ones.
#include <initializer_list>
#include <string>
#include <string_view>

#include "catalogue/catalogue.h"
#include "catalogue/signify_format.h"
#include "fuzz/seeds/seeds.h"
#include "fuzz/signify_input.h"

namespace {

const SignifyKeyNumber kKeyNumber = {1, 2, 3, 4, 5, 6, 7, 8};

// Key number 1..8 with the RFC 8032 test 1 key, as `signify -G -n` writes them.
constexpr std::string_view kPublicKey =
    "untrusted comment: signify public key\n"
    "RWQBAgMEBQYHCNdamAGCsQq31Uv+08lkBzoO4XLz2qYjJa8CGmj3B1Ea\n";
constexpr std::string_view kSecretKey =
    "untrusted comment: signify secret key\n"
    "RWRCSwAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAABAgMEBQYHCJ1hsZ3v/VpguoRK9JLsLMREScVpezJpGXA7rAMcrn9g11qYAYKxCrfVS/"
    "7TyWQHOg7hcvPapiMlrwIaaPcHURo=\n";

Seed Text(std::string name, std::string_view text)
{
    return {std::move(name), {text.begin(), text.end()}};
}

Seed Signify(std::string name, std::uint8_t flags, std::initializer_list<std::string_view> texts)
{
    Seed seed{std::move(name), {flags}};
    bool first = true;
    for (std::string_view text : texts) {
        if (!first)
            seed.bytes.push_back(kSignifyTextSeparator);
        first = false;
        seed.bytes.insert(seed.bytes.end(), text.begin(), text.end());
    }
    return seed;
}

PackageHeader Record(std::uint32_t type, std::uint32_t version, std::uint32_t revision)
{
    PackageHeader header;
    header.deviceType = type;
    header.desVersion = version;
    header.revision = revision;
    header.imageAddress = 0x01018000;
    header.imageSize = 40000;
    return header;
}

Catalogue SmallCatalogue()
{
    CatalogueEntry stable;
    stable.file = "fw/pad-1.40.dat";
    stable.size = 40056;
    stable.sha256.fill(0xA5);
    stable.date = "2026-12-01";
    stable.notesEn = "Fixes \"drift\"\nafter sleep";
    stable.notesZh = "修复休眠后的漂移";
    stable.records = {Record(0x5111, 140, 3), Record(0x3009, 140, 0)};
    stable.binding = {kProtocolBlock, {{0x5A3C, 0x4C21}}, {0x5111, 0x3009}, {}, {}};
    CatalogueEntry beta;
    beta.file = "https://example.org/fw/pad-1.41b.dat";
    beta.size = 0xFFFFFFFFFFull;
    beta.channel = Channel::Beta;
    beta.records = {Record(0xFFFFFFFF, 0x0001008D, 0xFFFFFFFF)};
    beta.binding = {kProtocolStream, {{0x0483, 0x5750}, {0x5A3C, 0x5750}}, {}, {261}, {0, 1}};
    Catalogue catalogue;
    catalogue.repository = "pads";
    catalogue.version = 7;
    catalogue.published = 1764547200;
    catalogue.expires = 1772323200;
    catalogue.packages = {stable, beta};
    return catalogue;
}

std::string ListedRecord(std::string_view imageSize)
{
    return R"({"deviceType":1,"desVersion":2,"revision":0,"imageAddress":0,"imageSize":)" + std::string(imageSize) +
           "}";
}

constexpr std::string_view kHeader =
    R"({"format":2,"type":"catalogue","repository":"r","version":1,"published":"2026-12-01T00:00:00Z",)"
    R"("expires":"2027-03-01T00:00:00Z",)";
constexpr std::string_view kStreamBinding = R"({"family":"stream","usb":["0483:5750"],"models":[261],"subModels":[0]})";

// Written by hand with every field, so that seeds stay whatever the writer does.
std::string Listing(std::string_view file, std::string_view records, std::string_view binding = kStreamBinding)
{
    return std::string(kHeader) + R"("packages":[{"file":")" + std::string(file) + R"(","size":7,"sha256":")" +
           std::string(64, 'F') + R"(","channel":"beta","date":"d","notes":{"en":"\u00e9\t","zh":"z"},"for":)" +
           std::string(binding) + R"(,"records":[)" + std::string(records) + "]}]}";
}

}  // namespace

std::vector<Seed> CatalogueSeeds()
{
    const std::string small = CatalogueJson(SmallCatalogue());
    const std::string record = ListedRecord("40000");
    std::string most = ListedRecord("0");
    for (std::size_t i = 1; i < kMaxRecordsPerEntry; ++i)
        most += "," + ListedRecord("0");
    return {
        Text("small", small),
        Text("empty", std::string(kHeader) + R"("packages":[]})"),
        Text("by_hand", Listing("p.dat", record + "," + record)),
        Text("cut_short", std::string_view(small).substr(0, small.size() / 2)),
        Text("format_1", R"({"format":1,"packages":[]})"),
        Text("key_list", R"({"format":2,"type":"keys","repository":"r","version":1,"packages":[]})"),
        Text("too_deep", std::string(kHeader) + R"("packages":[],"x":[[[[[[[]]]]]]]})"),
        Text("brackets_in_text", std::string(kHeader) + R"("packages":[],"x":"[[[[[[[\"{{{{"})"),
        Text("block_without_type", Listing("p.dat", record, R"({"family":"block","usb":["5a3c:4c21"]})")),
        Text("binding_usb_twice", Listing("p.dat", record, R"({"family":"stream","usb":["5a3c:5750"],"usb":7})")),
        Text("most_records", Listing("p.dat", most)),
        Text("too_many_records", Listing("p.dat", most + "," + record)),
        Text("empty_file", Listing("", record)),
        Text("no_records", Listing("p.dat", "")),
        Text("float_size", Listing("p.dat", ListedRecord("1.5"))),
        Text("size_past_32_bits", Listing("p.dat", ListedRecord("4294967296"))),
    };
}

std::vector<Seed> SignifySeeds()
{
    // Short: only the verifier, which answers by the flags, reads it.
    const std::string catalogue = CatalogueJson({});
    SignifySignature signature{kKeyNumber, {}};
    signature.signature.fill(0x5A);
    const std::string sig = FormatSignifySignature(signature, "verify with signify.pub");
    signature.number[0] = 9;
    const std::string stranger = FormatSignifySignature(signature, "");
    return {
        Signify("signed", kSignifyVerifierSaysYes, {catalogue, sig, kPublicKey}),
        Signify("bad_signature", 0, {catalogue, sig, kPublicKey}),
        Signify("untrusted_key", kSignifyVerifierSaysYes, {catalogue, stranger, kPublicKey}),
        Signify("no_key", kSignifyVerifierSaysYes, {catalogue, sig}),
        Signify("no_sig", kSignifyVerifierSaysYes | kSignifyNoSignature, {catalogue, sig, kPublicKey}),
        Signify("no_key_unsigned_allowed", kSignifyAllowUnsigned, {catalogue, sig}),
        Signify("no_sig_unsigned_allowed", kSignifyNoSignature | kSignifyAllowUnsigned, {catalogue, sig, kPublicKey}),
        Signify("bad_signature_unsigned_allowed", kSignifyAllowUnsigned, {catalogue, sig, kPublicKey}),
        Signify("secret_key", kSignifyVerifierSaysYes, {catalogue, sig, kSecretKey, kPublicKey}),
        Signify("sig_cut_short", kSignifyVerifierSaysYes, {catalogue, sig.substr(0, sig.size() - 5) + "\n", kPublicKey}),
    };
}
