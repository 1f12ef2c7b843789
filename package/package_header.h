#pragma once
// The 28-byte header in front of every image of a firmware package, and the
// lookup of a record by device type.
//
// A package is a plain run of records, the first at offset 0: a header
// followed by imageSize image bytes, the next record right after. All words
// are little-endian.
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "package/package_file.h"

inline constexpr std::size_t kPackageHeaderSize = 28;

struct PackageHeader {
    std::uint32_t desVersion = 0;    // FirmwareVersionWord of the image
    std::uint32_t imageAddress = 0;  // device address of the image
    std::uint32_t imageSize = 0;     // image bytes after the header
    std::uint32_t deviceType = 0;    // key of the record lookup
    std::uint32_t reserved1 = 0;
    std::uint32_t revision = 0;      // package revision, 0 for none
    std::uint32_t reserved2 = 0;

    bool operator==(const PackageHeader&) const = default;
};

PackageHeader DecodePackageHeader(std::span<const std::uint8_t, kPackageHeaderSize> bytes);
std::array<std::uint8_t, kPackageHeaderSize> EncodePackageHeader(const PackageHeader& header);

// Positions the file at recordOffset and reads one header into out. False,
// with out left untouched, when the position is refused or fewer than 28
// bytes can be read (a header cut short by the end of the file).
bool ReadPackageHeader(PackageFile& file, std::int32_t recordOffset, PackageHeader& out);

// Offset of the first record whose deviceType equals wantedType (all 32 bits),
// or -1: no such record, the file cannot be opened exclusively, it is empty
// or 2 GiB and more, a header is cut short, or a record's size would carry
// the next offset backwards or past the signed 32-bit range. Only headers are
// read. A match whose image runs past the end is still returned; checking a
// record before use is ValidatePackageRecord's job. The file is closed again
// before returning.
std::int32_t FindPackageRecord(const std::u16string& path, std::uint32_t wantedType);
