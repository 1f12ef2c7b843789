// Fuzz target: the package layer on an arbitrary file; the input is the whole
// file. The record lookup is held against a plain walk over the bytes, and a
// record that passes validation must lie wholly inside the file.
#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "block/block_device_types.h"
#include "block/device_memory_map.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_entry.h"
#include "fuzz/input_file.h"
#include "hid/hid.h"
#include "engine/firmware_selection.h"
#include "package/package_header.h"
#include "package/package_validation.h"

namespace {

// Bounds the work per input: a file of empty records holds one every 28 bytes.
constexpr std::size_t kMaxChecked = 16;
constexpr std::int64_t kMaxOffset = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kHeaderBytes = kPackageHeaderSize;

struct Record {
    std::int32_t offset;
    PackageHeader header;
};

// Decoded from an exact-size copy, so the decoder cannot read past the 28 bytes.
PackageHeader HeaderAt(const std::uint8_t* data, std::size_t offset)
{
    auto copy = std::make_unique<std::array<std::uint8_t, kPackageHeaderSize>>();
    std::memcpy(copy->data(), data + offset, kPackageHeaderSize);
    const PackageHeader header = DecodePackageHeader(*copy);
    FUZZ_CHECK(EncodePackageHeader(header) == *copy);
    return header;
}

// Every header a lookup would read, in order: it stops where a header is cut
// short or the next offset leaves the signed 32-bit range.
std::vector<Record> WalkBytes(const std::uint8_t* data, std::size_t size)
{
    std::vector<Record> records;
    std::int64_t offset = 0;
    while (offset + kHeaderBytes <= static_cast<std::int64_t>(size)) {
        const PackageHeader header = HeaderAt(data, static_cast<std::size_t>(offset));
        records.push_back({static_cast<std::int32_t>(offset), header});
        offset += kHeaderBytes + header.imageSize;
        if (offset > kMaxOffset)
            break;
    }
    return records;
}

std::int32_t ExpectedOffset(const std::vector<Record>& records, std::uint32_t type)
{
    for (const Record& record : records)
        if (record.header.deviceType == type)
            return record.offset;
    return -1;
}

void CheckInside(std::size_t size, std::int64_t offset, const PackageHeader& header)
{
    FUZZ_CHECK(header.imageSize > 0);
    FUZZ_CHECK(offset >= 0);
    FUZZ_CHECK(offset + kHeaderBytes + header.imageSize <= static_cast<std::int64_t>(size));
}

void CheckValidation(std::size_t size, const PackageHeader& header)
{
    const std::int64_t length = static_cast<std::int64_t>(size);
    for (std::int64_t offset : {std::int64_t{-1}, std::int64_t{0}, length - kHeaderBytes, length, kMaxOffset,
                                kMaxOffset + 1}) {
        if (ValidatePackageRecord(length, offset, header) == RecordProblem::None)
            CheckInside(size, offset, header);
    }
    FUZZ_CHECK(ValidatePackageRecord(-1, 0, header) == RecordProblem::HeaderCutShort);
}

// Reading and validating at offset agrees with the bytes there.
void CheckReadAndValidate(const std::uint8_t* data, std::size_t size, std::int32_t offset)
{
    PackageHeader sentinel;
    sentinel.deviceType = 0xDEADBEEF;
    PackageHeader out = sentinel;
    const RecordProblem problem = ReadAndValidatePackageRecord(FuzzInputPath(), offset, out);
    FUZZ_CHECK(problem != RecordProblem::CannotOpen && problem != RecordProblem::ReadError);
    const bool headerInside = offset >= 0 && offset + kHeaderBytes <= static_cast<std::int64_t>(size);
    if (!headerInside) {
        FUZZ_CHECK(problem == RecordProblem::HeaderCutShort);
        FUZZ_CHECK(out == sentinel);
        return;
    }
    FUZZ_CHECK(out == HeaderAt(data, static_cast<std::size_t>(offset)));
    FUZZ_CHECK(problem == ValidatePackageRecord(static_cast<std::int64_t>(size), offset, out));
    if (problem == RecordProblem::None)
        CheckInside(size, offset, out);
}

std::vector<std::uint32_t> TypesToLookUp(const std::vector<Record>& records)
{
    std::vector<std::uint32_t> types(std::begin(SpecialDeviceTypes), std::end(SpecialDeviceTypes));
    types.push_back(kDeviceType3009);
    types.push_back(0);
    for (const Record& record : records) {
        if (types.size() >= std::size(SpecialDeviceTypes) + 2 + kMaxChecked)
            break;
        if (std::find(types.begin(), types.end(), record.header.deviceType) == types.end())
            types.push_back(record.header.deviceType);
    }
    return types;
}

void CheckLookup(const std::uint8_t* data, std::size_t size, const std::vector<Record>& records)
{
    for (std::uint32_t type : TypesToLookUp(records)) {
        const std::int32_t found = FindPackageRecord(FuzzInputPath(), type);
        FUZZ_CHECK(found == ExpectedOffset(records, type));
        if (found < 0)
            continue;
        FUZZ_CHECK(found + kHeaderBytes <= static_cast<std::int64_t>(size));
        CheckReadAndValidate(data, size, found);
    }
}

void CheckTexts(const PackageHeader& header)
{
    const std::u16string text = ConfirmationText(header);
    FUZZ_CHECK(!text.empty() && text.back() == u'\n');

    const bool newerThanEveryFloor = static_cast<std::uint16_t>(header.desVersion) > 502;
    for (std::uint32_t protocol : {kProtocolStream, kProtocolBlock, std::uint32_t{7}})
        for (std::uint16_t model : {0, 260, 261, 262, 0xFFFF})
            for (std::uint8_t subModel : {0, 1, 2, 3, 0xFF}) {
                const bool accepted = PackageCompatibilityRule(protocol, model, subModel, header.desVersion);
                const bool ruled = protocol == kProtocolStream && model == 261 && subModel <= 2;
                FUZZ_CHECK(accepted || (ruled && !newerThanEveryFloor));
            }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FUZZ_CHECK(WriteFuzzInput(data, size));
    const std::vector<Record> records = WalkBytes(data, size);

    CheckLookup(data, size, records);

    const auto length = static_cast<std::int32_t>(size);  // libFuzzer inputs are small
    const std::int32_t lastHeader = length - static_cast<std::int32_t>(kHeaderBytes);
    std::vector<std::int32_t> offsets = {-1, 0, lastHeader, lastHeader + 1, length,
                                         std::numeric_limits<std::int32_t>::max()};
    // Lets the fuzzer aim a read anywhere: the first header's reserved word.
    if (!records.empty())
        offsets.push_back(static_cast<std::int32_t>(records.front().header.reserved1));
    for (std::int32_t offset : offsets)
        CheckReadAndValidate(data, size, offset);

    for (std::size_t i = 0; i < records.size() && i < kMaxChecked; ++i) {
        CheckValidation(size, records[i].header);
        CheckTexts(records[i].header);
    }
    return 0;
}
