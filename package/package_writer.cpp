#include "package/package_writer.h"

#include <cstdio>

namespace {

constexpr std::uint32_t kDemoVersion = 0x0000008C;  // 1.40 release
constexpr std::uint32_t kVectorTableWords = 16;
constexpr std::uint32_t kStackTop = 0x20005000;
constexpr std::uint32_t kHandlerBase = 0x08004000;

std::uint32_t NextRandom(std::uint32_t& state)
{
    // xorshift32: cheap, deterministic, never stuck at 0 for a non-zero state.
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

std::uint32_t ImageWord(std::uint32_t index, std::uint32_t& state)
{
    if (index == 0)
        return kStackTop;
    if (index < kVectorTableWords)
        return (kHandlerBase + 0x100 + (NextRandom(state) & 0x3FFC)) | 1u;
    return NextRandom(state);
}

// The demo packages' image: MakeDemoImage's vector table, then 32-byte lines
// of one pseudo-random pattern, each opening with its 16-bit line number.
// A stream chunk (32 bytes, aligned with the lines) and a block (46 bytes)
// each hold a line number, so every one of a transfer is unlike the others,
// yet the two demo packages cost the page's first visit about 6 KB of gzip
// instead of their 94 KB.
std::vector<std::uint8_t> DemoPackageImage(std::size_t size, std::uint32_t seed)
{
    constexpr std::size_t kLineBytes = 32;
    constexpr std::size_t kNumberBytes = 2;
    constexpr std::size_t kTableBytes = kVectorTableWords * 4;
    std::vector<std::uint8_t> image = MakeDemoImage(size, seed);
    for (std::size_t i = kTableBytes; i < size; ++i) {
        const std::size_t line = (i - kTableBytes) / kLineBytes;
        const std::size_t at = (i - kTableBytes) % kLineBytes;
        image[i] = at < kNumberBytes ? static_cast<std::uint8_t>(line >> (8 * at)) : image[kTableBytes + at];
    }
    return image;
}

PackageRecordSpec DemoRecord(std::uint32_t deviceType, std::uint32_t imageAddress,
                             std::size_t size, std::uint32_t revision, std::uint32_t seed)
{
    PackageRecordSpec entry;
    entry.header.desVersion = kDemoVersion;
    entry.header.imageAddress = imageAddress;
    entry.header.deviceType = deviceType;
    entry.header.revision = revision;
    entry.image = DemoPackageImage(size, seed);
    return entry;
}

}  // namespace

PackageHeader WrittenHeader(const PackageRecordSpec& entry)
{
    PackageHeader header = entry.header;
    header.imageSize = entry.declaredImageSize.value_or(static_cast<std::uint32_t>(entry.image.size()));
    return header;
}

std::vector<std::uint8_t> SerializePackage(std::span<const PackageRecordSpec> records)
{
    std::vector<std::uint8_t> bytes;
    for (const PackageRecordSpec& entry : records) {
        const auto header = EncodePackageHeader(WrittenHeader(entry));
        bytes.insert(bytes.end(), header.begin(), header.end());
        bytes.insert(bytes.end(), entry.image.begin(), entry.image.end());
    }
    return bytes;
}

bool WriteBytesToFile(const std::u16string& path, std::span<const std::uint8_t> bytes)
{
    std::FILE* file = OpenFileU16(path, "wb");
    if (!file)
        return false;
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

bool WritePackageFile(const std::u16string& path, std::span<const PackageRecordSpec> records)
{
    return WriteBytesToFile(path, SerializePackage(records));
}

std::vector<std::uint8_t> MakeDemoImage(std::size_t size, std::uint32_t seed)
{
    std::vector<std::uint8_t> image(size);
    std::uint32_t state = seed ^ 0x9E3779B9u;
    if (state == 0)
        state = 1;
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (i % 4 == 0)
            word = ImageWord(static_cast<std::uint32_t>(i / 4), state);
        image[i] = static_cast<std::uint8_t>(word >> (8 * (i % 4)));
    }
    return image;
}

std::vector<PackageRecordSpec> DemoStreamPackage()
{
    return {DemoRecord(0, 0x08004000, 24576, 3, 1)};
}

std::vector<PackageRecordSpec> DemoBlockPackage()
{
    return {DemoRecord(0x3010, 0x01018000, 10000, 0, 2),
            DemoRecord(0x5111, 0x01018000, 40000, 0, 3),
            DemoRecord(0, 0x08014000, 20000, 0, 4)};
}
