#pragma once
// The step between a ready controller and the transfer: the user picks a
// package, the record that fits the controller is read and checked, and the
// user confirms. Runs on the update worker; reaches the dialog through
// ActiveDialog.
#include <cstdint>
#include <string>

#include "package/package_header.h"

// Shows the file dialog and the confirmation. True when a fitting package was
// confirmed: the transfer fields are set, the read time-out is 10 ms and, for
// the stream protocol, TransferState is 1 and the start packet has gone.
// The transport values are handed on to the start packet unchanged.
bool SelectFirmwarePackage(std::int32_t transportHandle, std::int32_t transportSelector);

// True when a package of version desVersion may go to the controller. Only
// stream-protocol controllers of model 261 have a lowest accepted version.
bool PackageCompatibilityRule(std::uint32_t protocolVariant, std::uint16_t deviceModel,
                              std::uint8_t deviceSubModel, std::uint32_t desVersion);

// The confirmation question for the chosen record: its version and revision.
std::u16string ConfirmationText(const PackageHeader& header);

// The file dialog's filter: text 3 followed by "(*.dat)|*.dat||".
std::u16string PackageFilter();
