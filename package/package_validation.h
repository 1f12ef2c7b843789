#pragma once
// Whether a chosen record may be transferred. The transfer divides by
// imageSize and reads imageSize image bytes behind the header, so a record
// must hold at least one byte and lie wholly inside the file, within the
// signed 32-bit offsets packages are limited to.
#include <cstdint>
#include <string>
#include <string_view>

#include "package/package_header.h"

enum class RecordProblem {
    None,
    CannotOpen,      // the file could not be opened
    ReadError,       // the header read failed with an I/O error
    HeaderCutShort,  // fewer than 28 header bytes inside the file
    EmptyImage,      // imageSize is 0
    OffsetOverflow,  // the record ends beyond 2^31 - 1
    ImagePastEnd,    // the image runs past the end of the file
};

// Short English name for diagnostic lines and test output.
std::string_view RecordProblemName(RecordProblem problem);

// Checks a header already read at recordOffset of a file of fileLength bytes.
// A negative length (unknown) counts as a file too short for any header.
RecordProblem ValidatePackageRecord(std::int64_t fileLength, std::int64_t recordOffset,
                                    const PackageHeader& header);

// Opens path exclusively, reads the header at recordOffset into out and
// validates it. out is written only when all 28 header bytes were read, so a
// caller may inspect a header that failed a later check.
RecordProblem ReadAndValidatePackageRecord(const std::u16string& path, std::int32_t recordOffset,
                                           PackageHeader& out);
