#pragma once
// The package a station hands out, checked before the station waits for a
// single unit: a package with a broken record is refused as a whole.
#include <string>
#include <vector>

#include "protocols/package_inspection.h"

struct StationPackage {
    bool usable = false;
    std::string problem;  // why not, when not usable
    std::vector<InspectedRecord> records;
};

StationPackage CheckStationPackage(const std::u16string& path);
