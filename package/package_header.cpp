#include "package/package_header.h"

#include <limits>
#include <optional>

#include "base/little_endian.h"

namespace {

// The file length as the walk's signed 32-bit bound; nullopt when the file is
// empty, its length is unknown or it does not fit.
std::optional<std::int32_t> WalkLength(PackageFile& file)
{
    const std::int64_t length = file.Length();
    if (length <= 0 || length > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(length);
}

// Offset of the record after the one at offset; nullopt when it would leave
// the signed 32-bit range (a corrupt size must not wrap the walk around).
std::optional<std::int32_t> NextRecordOffset(std::int32_t offset, std::uint32_t imageSize)
{
    const std::int64_t next = std::int64_t{offset} + std::int64_t{kPackageHeaderSize} + imageSize;
    if (next > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(next);
}

std::int32_t WalkRecords(PackageFile& file, std::int32_t length, std::uint32_t wantedType)
{
    std::int32_t offset = 0;
    while (offset < length) {
        PackageHeader header;
        if (!ReadPackageHeader(file, offset, header))
            return -1;
        if (header.deviceType == wantedType)
            return offset;
        const std::optional<std::int32_t> next = NextRecordOffset(offset, header.imageSize);
        if (!next)
            return -1;
        offset = *next;
    }
    return -1;
}

}  // namespace

PackageHeader DecodePackageHeader(std::span<const std::uint8_t, kPackageHeaderSize> bytes)
{
    PackageHeader h;
    h.desVersion = GetLe32(&bytes[0]);
    h.imageAddress = GetLe32(&bytes[4]);
    h.imageSize = GetLe32(&bytes[8]);
    h.deviceType = GetLe32(&bytes[12]);
    h.reserved1 = GetLe32(&bytes[16]);
    h.revision = GetLe32(&bytes[20]);
    h.reserved2 = GetLe32(&bytes[24]);
    return h;
}

std::array<std::uint8_t, kPackageHeaderSize> EncodePackageHeader(const PackageHeader& header)
{
    std::array<std::uint8_t, kPackageHeaderSize> bytes{};
    PutLe32(&bytes[0], header.desVersion);
    PutLe32(&bytes[4], header.imageAddress);
    PutLe32(&bytes[8], header.imageSize);
    PutLe32(&bytes[12], header.deviceType);
    PutLe32(&bytes[16], header.reserved1);
    PutLe32(&bytes[20], header.revision);
    PutLe32(&bytes[24], header.reserved2);
    return bytes;
}

bool ReadPackageHeader(PackageFile& file, std::int32_t recordOffset, PackageHeader& out)
{
    if (recordOffset < 0 || !file.Seek(recordOffset))
        return false;
    std::array<std::uint8_t, kPackageHeaderSize> bytes{};
    if (file.Read(bytes.data(), bytes.size()) != bytes.size())
        return false;
    out = DecodePackageHeader(bytes);
    return true;
}

std::int32_t FindPackageRecord(const std::u16string& path, std::uint32_t wantedType)
{
    PackageFile file;
    if (!file.OpenExclusive(path))
        return -1;
    const std::optional<std::int32_t> length = WalkLength(file);
    if (!length)
        return -1;
    return WalkRecords(file, *length, wantedType);
}
