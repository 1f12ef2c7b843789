// Packages: the demo layouts with short images, every special device type,
// versions around the model rule's floors, and files that are cut short,
// empty or carry sizes that run past the end or wrap.
#include <iterator>

#include "block/block_device_types.h"
#include "block/device_memory_map.h"
#include "fuzz/seeds/seeds.h"
#include "package/package_writer.h"

namespace {

using Records = std::vector<PackageRecordSpec>;

// Long images only slow the fuzzer down; the layout is what matters.
Records Shortened(Records records)
{
    std::size_t size = 40;
    for (PackageRecordSpec& record : records) {
        record.image.resize(size);
        size += 24;
    }
    return records;
}

PackageRecordSpec Record(std::uint32_t type, std::uint32_t desVersion, std::uint32_t revision,
                         std::size_t imageBytes, std::uint32_t seed)
{
    PackageRecordSpec record;
    record.header.desVersion = desVersion;
    record.header.imageAddress = MemoryMapForType(type).imageBase;
    record.header.deviceType = type;
    record.header.revision = revision;
    record.image = MakeDemoImage(imageBytes, seed);
    return record;
}

PackageRecordSpec Declared(PackageRecordSpec record, std::uint32_t imageSize)
{
    record.declaredImageSize = imageSize;
    return record;
}

Seed Package(std::string name, const Records& records)
{
    return {std::move(name), SerializePackage(records)};
}

}  // namespace

std::vector<Seed> PackageSeeds()
{
    std::vector<Seed> seeds;
    seeds.push_back(Package("demo_stream", Shortened(DemoStreamPackage())));
    seeds.push_back(Package("demo_block", Shortened(DemoBlockPackage())));

    Records typed;
    std::uint32_t seed = 10;
    for (std::uint32_t type : SpecialDeviceTypes)
        typed.push_back(Record(type, 0x8C, 0, 32, seed++));
    typed.push_back(Record(kDeviceType3009, 0x8C, 1, 32, seed++));
    typed.push_back(Record(0, 0x8C, 0, 32, seed++));
    seeds.push_back(Package("every_type", typed));

    // 1.37 and 5.02 are the floors of model 261; 0x0001xxxx marks a beta.
    Records versions;
    for (std::uint32_t version : {136u, 137u, 0x00010089u, 502u, 0x000301F6u, 0xFFFFu})
        versions.push_back(Record(0, version, version & 7u, 8, version));
    seeds.push_back(Package("versions", versions));

    const std::vector<std::uint8_t> one = SerializePackage(Records{Record(0x3010, 0x8C, 0, 16, 1)});
    seeds.push_back({"empty", {}});
    seeds.push_back({"header_cut_short", {one.begin(), one.begin() + 27}});
    seeds.push_back({"image_cut_short", {one.begin(), one.end() - 1}});
    const PackageRecordSpec plain = Record(0, 0x8C, 0, 8, 1);
    seeds.push_back(Package("empty_image", {Declared(plain, 0), Record(0x5111, 0x8C, 0, 8, 2)}));
    seeds.push_back(Package("match_past_end", {plain, Declared(Record(0x6006, 0x8C, 0, 8, 2), 4096)}));
    seeds.push_back(Package("size_wraps", {Declared(plain, 0xFFFFFFF0u), Record(0x3011, 0x8C, 0, 8, 2)}));
    seeds.push_back(Package("bytes_after_image", {Declared(Record(0x5112, 0x8C, 0, 48, 3), 20)}));
    return seeds;
}
