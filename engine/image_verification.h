#pragma once
// The read-back check a front end may ask for after the image is written
// (block controllers only). Off by default: the dialog never asks for it.
#include <cstdint>

enum class VerifyVerdict {
    NotRun,    // not asked for, or the update ended before it
    Passed,    // every image byte read back as written
    Mismatch,  // a byte differs; firstDifference is its device address
    NoAnswer,  // the controller did not acknowledge a read
};

struct VerifyResult {
    VerifyVerdict verdict = VerifyVerdict::NotRun;
    std::uint32_t firstDifference = 0;
};
