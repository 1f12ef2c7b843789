#pragma once
// What a package holds, read without a controller: every record, its checks
// and which controllers would be given it. The front ends' inspect views
// (the command line, the web page) show this.
#include <cstdint>
#include <string>
#include <vector>

#include "package/package_header.h"
#include "package/package_validation.h"

struct InspectedRecord {
    std::int64_t offset = 0;
    bool headerRead = false;  // false: fewer than 28 header bytes
    PackageHeader header;
    RecordProblem problem = RecordProblem::None;
    std::vector<std::string> chosenFor;  // "stream", "block", "block type 0x5111"
};

// The records in file order; reading stops at the first record whose end
// cannot be trusted. Empty when the file cannot be opened.
std::vector<InspectedRecord> InspectPackage(const std::u16string& path, bool& opened);
