#include "package/package_validation.h"

#include <limits>

namespace {

constexpr std::int64_t kHeaderBytes = static_cast<std::int64_t>(kPackageHeaderSize);
constexpr std::int64_t kMaxRecordEnd = std::numeric_limits<std::int32_t>::max();

}  // namespace

std::string_view RecordProblemName(RecordProblem problem)
{
    switch (problem) {
    case RecordProblem::None: return "None";
    case RecordProblem::CannotOpen: return "CannotOpen";
    case RecordProblem::ReadError: return "ReadError";
    case RecordProblem::HeaderCutShort: return "HeaderCutShort";
    case RecordProblem::EmptyImage: return "EmptyImage";
    case RecordProblem::OffsetOverflow: return "OffsetOverflow";
    case RecordProblem::ImagePastEnd: return "ImagePastEnd";
    }
    return "Unknown";
}

RecordProblem ValidatePackageRecord(std::int64_t fileLength, std::int64_t recordOffset,
                                    const PackageHeader& header)
{
    // Every sum below stays far inside int64: offsets are checked against
    // 2^31 before imageSize (< 2^32) is added.
    if (recordOffset < 0 || recordOffset > kMaxRecordEnd ||
        recordOffset + kHeaderBytes > fileLength)
        return RecordProblem::HeaderCutShort;
    if (header.imageSize == 0)
        return RecordProblem::EmptyImage;
    const std::int64_t recordEnd = recordOffset + kHeaderBytes + header.imageSize;
    if (recordEnd > kMaxRecordEnd)
        return RecordProblem::OffsetOverflow;
    if (recordEnd > fileLength)
        return RecordProblem::ImagePastEnd;
    return RecordProblem::None;
}

RecordProblem ReadAndValidatePackageRecord(const std::u16string& path, std::int32_t recordOffset,
                                           PackageHeader& out)
{
    PackageFile file;
    if (!file.OpenExclusive(path))
        return RecordProblem::CannotOpen;
    const std::int64_t length = file.Length();
    PackageHeader header;
    if (!ReadPackageHeader(file, recordOffset, header))
        return file.LastReadFailed() ? RecordProblem::ReadError : RecordProblem::HeaderCutShort;
    out = header;
    return ValidatePackageRecord(length, recordOffset, header);
}
