// Time to parse a catalogue of 1,000 packages and pick the ones that fit a
// controller of each family; given a published folder (catalogue.json, its
// .sig and keys/), also to walk its key chain from the root keys named,
// verify its signatures (libgcrypt) and pick, as a program with root keys
// does. Prints figures; asserts nothing.
//
//   catalogue_bench [FOLDER THRESHOLD ROOT.pub...]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "block/block_device_types.h"
#include "catalogue/key_chain.h"
#include "catalogue/package_choice.h"
#include "hid/hid.h"
#include "platform/gcrypt/gcrypt_verifier.h"

namespace {

constexpr int kPackages = 1000;
constexpr int kRounds = 50;
constexpr UsbId kStreamUsb{0x0483, 0x5750};
constexpr UsbId kBlockUsb{0x5a3c, 0x4c21};
constexpr std::uint32_t kOrdinaryType = 0x5111;

// Packages of one to four records, versions spread over releases and betas.
Catalogue MakeCatalogue()
{
    Catalogue catalogue;
    catalogue.repository = "bench";
    catalogue.version = 1;
    catalogue.published = 1'780'000'000;
    catalogue.expires = catalogue.published + 90 * kSecondsPerDay;
    for (int i = 0; i < kPackages; ++i) {
        CatalogueEntry e;
        e.file = "fw/package-" + std::to_string(i) + ".dat";
        e.size = 40000u + static_cast<unsigned>(i);
        e.sha256.fill(static_cast<std::uint8_t>(i));
        e.channel = i % 5 == 0 ? Channel::Beta : Channel::Stable;
        e.date = "2026-12-01";
        e.notesEn = "Release notes of package " + std::to_string(i) + ": fixes and improvements.";
        e.notesZh = "固件更新说明。";
        for (int r = 0; r <= i % 4; ++r) {
            PackageHeader h;
            h.deviceType = r == 0 ? 0 : SpecialDeviceTypes[(i + r) % std::size(SpecialDeviceTypes)];
            h.desVersion = static_cast<std::uint32_t>(100 + i % 500) | (i % 5 == 0 ? 1u << 16 : 0u);
            h.revision = static_cast<std::uint32_t>(i % 7);
            h.imageAddress = 0x01018000;
            h.imageSize = 40000;
            e.records.push_back(h);
        }
        // Half for each family, as a real catalogue binds them.
        e.binding.usb = {i % 2 ? kBlockUsb : kStreamUsb};
        e.binding.family = i % 2 ? kProtocolBlock : kProtocolStream;
        if (i % 2)
            for (const PackageHeader& h : e.records)
                e.binding.deviceTypes.push_back(h.deviceType == 0 ? kOrdinaryType : h.deviceType);
        catalogue.packages.push_back(std::move(e));
    }
    return catalogue;
}

double MedianMs(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

std::optional<std::string> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The key sets of a folder, read once before the clock starts.
class FolderChain final : public IKeyChainSource {
public:
    explicit FolderChain(const std::string& folder)
    {
        for (std::uint64_t v = 1; v <= kMaxKeyChainSteps + 1; ++v) {
            const std::string path = folder + "/keys/" + KeySetFileName(v);
            auto keys = ReadFile(path);
            if (!keys)
                break;
            m_Links.push_back({std::move(*keys), ReadFile(path + ".sig")});
        }
    }
    LinkFetch Fetch(std::uint64_t version, KeyChainLink& link) override
    {
        if (version == 0 || version > m_Links.size())
            return LinkFetch::Missing;
        link = m_Links[version - 1];
        return LinkFetch::Found;
    }
    std::size_t Size() const { return m_Links.size(); }

private:
    std::vector<KeyChainLink> m_Links;
};

ControllerFacts StreamFacts()
{
    ControllerFacts stream;
    stream.protocolVariant = kProtocolStream;
    stream.usb = kStreamUsb;
    stream.device.deviceModel = 261;
    stream.device.deviceSubModel = 2;
    return stream;
}

// The folder's catalogue walked, verified, parsed and picked from, as a
// program with those root keys takes it.
int ChainFigures(int argc, char** argv)
{
    const std::string folder = argv[1];
    KeySet roots;
    roots.root.threshold = static_cast<std::size_t>(std::stoul(argv[2]));
    for (int i = 3; i < argc; ++i)
        if (const auto text = ReadFile(argv[i]))
            if (const auto key = ParseSignifyPublicKey(*text))
                roots.root.keys.push_back(*key);
    const auto text = ReadFile(folder + "/catalogue.json");
    const auto signature = ReadFile(folder + "/catalogue.json.sig");
    if (!text || !signature) {
        std::fprintf(stderr, "catalogue_bench: %s has no catalogue.json and .sig\n", folder.c_str());
        return 1;
    }
    FolderChain chain(folder);
    const GcryptVerifier crypto;
    const ControllerFacts stream = StreamFacts();
    const std::span bytes(reinterpret_cast<const std::uint8_t*>(text->data()), text->size());
    const auto now = static_cast<UtcSeconds>(std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::system_clock::now().time_since_epoch()).count());
    std::vector<double> samples;
    std::size_t fitting = 0;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const KeyChainWalk walk = WalkKeyChain(roots, chain, now, crypto);
        const KeyChainVerdict verdict = CheckCatalogueKeys(bytes, signature, walk, crypto);
        const CatalogueParse parsed = ParseCatalogue(*text);
        if (verdict.problem != KeyChainProblem::None || !parsed.catalogue) {
            std::fprintf(stderr, "catalogue_bench: the folder's catalogue is refused: %s\n",
                         KeyChainText(verdict).c_str());
            return 1;
        }
        fitting = FittingPackages(*parsed.catalogue, stream, true).size();
        samples.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf("catalogue of %zu bytes, %zu key sets (median of %d rounds)\n", text->size(), chain.Size(), kRounds);
    std::printf("  walk, verify, parse, pick %8.2f ms  (%zu fitting)\n", MedianMs(samples), fitting);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 4)
        return ChainFigures(argc, argv);
    const std::string text = CatalogueJson(MakeCatalogue());
    const ControllerFacts stream = StreamFacts();
    ControllerFacts block;
    block.protocolVariant = kProtocolBlock;
    block.usb = kBlockUsb;
    block.device.currentDeviceType = kOrdinaryType;
    std::vector<double> parse, pick;
    std::size_t fitting = 0;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const CatalogueParse parsed = ParseCatalogue(text);
        if (!parsed.catalogue) {
            std::fprintf(stderr, "catalogue_bench: its catalogue is refused: %s\n",
                         CatalogueProblemText(parsed.problem).c_str());
            return 1;
        }
        const auto parsedAt = std::chrono::steady_clock::now();
        fitting = FittingPackages(*parsed.catalogue, stream, true).size() +
                  FittingPackages(*parsed.catalogue, block, true).size();
        const auto end = std::chrono::steady_clock::now();
        parse.push_back(std::chrono::duration<double, std::milli>(parsedAt - start).count());
        pick.push_back(std::chrono::duration<double, std::milli>(end - parsedAt).count());
    }
    std::printf("catalogue of %d packages, %zu bytes of JSON (median of %d rounds)\n", kPackages, text.size(),
                kRounds);
    std::printf("  parse                     %8.2f ms\n", MedianMs(parse));
    std::printf("  pick for stream and block %8.2f ms  (%zu fitting)\n", MedianMs(pick), fitting);
    std::printf("  parse and pick            %8.2f ms\n", MedianMs(parse) + MedianMs(pick));
    return 0;
}
