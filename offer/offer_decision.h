#pragma once
// What the dialogs offer from a catalogue, and in which words: no threads,
// no windows.
#include <optional>
#include <string>

#include "app/package_offer.h"
#include "catalogue/package_choice.h"

class UpdateSession;

// The attached controller as the catalogue judges it; nullopt while its USB
// id is unknown.
std::optional<ControllerFacts> SessionFacts(const UpdateSession& session);

// The newest stable package that fits, when it is newer than what the
// controller runs (or it runs none, or did not tell).
std::optional<FittingPackage> OfferedPackage(const Catalogue& catalogue, const ControllerFacts& facts);

// "Firmware 1.40 r3 is available (this controller runs 1.37). Install it?",
// then the release notes, in the dialog's language (English notes when a
// package has none in Chinese).
OfferQuestion QuestionFor(const FittingPackage& package, const DeviceDescription& device);

// A refusal in words, by the pipeline's reason code, with its detail and the
// way on; empty for a stop (the dialog is closing).
std::u16string RefusalText(const std::string& reason, const std::string& detail);
