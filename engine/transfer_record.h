#pragma once
// Values of the current transfer.
#include <cstdint>

#include "package/package_header.h"

struct TransferRecord {
    std::uint8_t blockBuffer[128];
    std::uint32_t packageVersionWord;
    std::uint32_t bytesSent;
    std::uint32_t recordOffset;
    std::uint32_t imageAddress;
    std::uint32_t imageSize;
    PackageHeader packageHeader;
};

// A confirmed package record: what the transfer is to send.
struct TransferPlan {
    std::u16string packagePath;
    std::uint32_t recordOffset = 0;
    PackageHeader header;
};
