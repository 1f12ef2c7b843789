#pragma once
// Builds firmware package files: fixtures for tests and the packages of the
// demo mode. reserved1 and reserved2 are written as given (0 by default).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "package/package_header.h"

struct PackageRecordSpec {
    // header.imageSize is ignored: the written size is declaredImageSize when
    // set, otherwise image.size(). Setting it lets tests write headers that
    // disagree with the bytes behind them.
    PackageHeader header;
    std::vector<std::uint8_t> image;
    std::optional<std::uint32_t> declaredImageSize;
};

// The header as it is written for entry (with its effective imageSize).
PackageHeader WrittenHeader(const PackageRecordSpec& entry);

// The records concatenated in order, each header followed by its image.
std::vector<std::uint8_t> SerializePackage(std::span<const PackageRecordSpec> records);

// Writes bytes to path, replacing any file there. False on any I/O failure.
bool WriteBytesToFile(const std::u16string& path, std::span<const std::uint8_t> bytes);
bool WritePackageFile(const std::u16string& path, std::span<const PackageRecordSpec> records);

// A deterministic image that looks like firmware: a vector table (initial
// stack pointer, then Thumb handler addresses) followed by pseudo-random
// code words; the same size and seed always give the same bytes.
std::vector<std::uint8_t> MakeDemoImage(std::size_t size, std::uint32_t seed);

// The demo packages: one record for a stream-protocol controller, and three
// for block-protocol controllers (types 0x3010 and 0x5111, then a generic one).
inline constexpr char16_t kDemoStreamPackageName[] = u"demo_stream.dat";
inline constexpr char16_t kDemoBlockPackageName[] = u"demo_block.dat";
std::vector<PackageRecordSpec> DemoStreamPackage();
std::vector<PackageRecordSpec> DemoBlockPackage();
