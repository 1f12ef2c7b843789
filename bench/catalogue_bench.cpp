// Time to parse a catalogue of 1,000 packages and pick the ones that fit a
// controller of each family. Prints figures; asserts nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "block/block_device_types.h"
#include "catalogue/package_choice.h"
#include "hid/hid.h"

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

}  // namespace

int main()
{
    const std::string text = CatalogueJson(MakeCatalogue());
    ControllerFacts stream;
    stream.protocolVariant = kProtocolStream;
    stream.usb = kStreamUsb;
    stream.device.deviceModel = 261;
    stream.device.deviceSubModel = 2;
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
