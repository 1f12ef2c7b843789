#pragma once
// Which of a catalogue's packages fit one controller, newest first: those
// whose binding covers it, judged then by the update's own rules
// (engine/record_choice.h) with the session's drivers, and not below the
// controller's security floor.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "engine/device_description.h"

struct ControllerFacts {
    std::uint32_t protocolVariant = 0;  // kProtocolStream or kProtocolBlock
    UsbId usb;
    DeviceDescription device;
};

struct FittingPackage {
    const CatalogueEntry* entry = nullptr;
    PackageHeader record;  // the record the update would take
};

// Packages below the controller's security floor: left out, or, on an
// operator's word, kept.
enum class BelowFloor { Left, Kept };

// Stable packages, and beta ones too when withBeta; newest version first,
// then the higher revision.
std::vector<FittingPackage> FittingPackages(const Catalogue& catalogue, const ControllerFacts& facts,
                                            bool withBeta, BelowFloor below = BelowFloor::Left);

// The controller's security floor: the highest version word of the floors
// whose binding covers it; nullopt when none does.
std::optional<std::uint32_t> SecurityFloorFor(const Catalogue& catalogue, const ControllerFacts& facts);
// True when record's version is below floor (a floor's betas are below it).
bool BelowSecurityFloor(const PackageHeader& record, std::optional<std::uint32_t> floor);

// Orders version words as releases go: a beta comes before its release.
bool NewerVersion(std::uint32_t a, std::uint32_t b);

// True when the controller should be offered package: it runs an older
// version, none, or did not tell.
bool UpdateAvailable(const DeviceDescription& device, const FittingPackage& package);

// "1.40", "1.40b2", "1.40r3", "1.40b2r3": how --version names a package.
std::string VersionLabel(const PackageHeader& record);
// A version word the same way: "1.40", "1.40b2".
std::string VersionWordLabel(std::uint32_t desVersion);
// The version word such a label names; nullopt unless written just so.
std::optional<std::uint32_t> ParseVersionWord(std::string_view label);
// The package --version names: its label, or its label without the revision
// (the highest revision then). nullopt when none of packages has it.
std::optional<FittingPackage> PackageNamed(const std::vector<FittingPackage>& packages,
                                           const std::string& label);
