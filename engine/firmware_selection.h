#pragma once
// The step between a ready controller and the transfer: the user picks a
// package, the record that fits the controller is read and checked, and the
// user confirms. Runs on the update worker.
#include <cstdint>
#include <optional>
#include <string>

#include "engine/transfer_record.h"
#include "package/package_header.h"

class UpdateSession;

#include "package/package_validation.h"

// Why no transfer was planned. The dialog keeps most of these silent; a
// command line names each.
enum class SelectionRefusal {
    None,
    Stopped,           // a stop was requested
    NoFileChosen,      // the file chooser was cancelled
    CannotOpen,        // the package cannot be opened
    NoRecord,          // no record for this device type
    BrokenRecord,      // the chosen record cannot be transferred (TextId::NotRecognized)
    Incompatible,      // the compatibility rule refuses its version
    Cancelled,         // the user answered Cancel to the confirmation
    WrongRecordType,   // the driver refuses the record for this device (TextId::NotRecognized)
    OutsideBinding,    // a catalogue's package, and this controller is not among those it is for
};

// The refusal's short code, as the command line's JSON, the station's
// lines and the page name it ("no-record"); "" for None.
const char* SelectionRefusalCode(SelectionRefusal refusal);

struct SelectionOutcome {
    std::optional<TransferPlan> plan;  // set exactly when refusal is None
    SelectionRefusal refusal = SelectionRefusal::None;
    RecordProblem problem = RecordProblem::None;  // with BrokenRecord
    PackageHeader header;  // the chosen record's header, when it was read
};

// Shows the file dialog and the confirmation. The confirmed record, or why
// there is none.
SelectionOutcome SelectFirmwarePackage(UpdateSession& session);

// Takes the plan as the session's transfer, with read time-out 10 ms.
// Nothing goes on the wire: the protocol starts the transfer its own way.
void StartTransfer(UpdateSession& session, const TransferPlan& plan);

// SelectFirmwarePackage, noted as the session's last selection, then
// StartTransfer. The plan when a transfer started.
std::optional<TransferPlan> SelectAndStart(UpdateSession& session);

// True when a package of version desVersion may go to the controller. Only
// stream-protocol controllers of model 261 have a lowest accepted version.
bool PackageCompatibilityRule(std::uint32_t protocolVariant, std::uint16_t deviceModel,
                              std::uint8_t deviceSubModel, std::uint32_t desVersion);
// The lowest accepted release (version x 100) for a controller, or 0 when
// any version is accepted.
std::uint16_t LowestAcceptedRelease(std::uint32_t protocolVariant, std::uint16_t deviceModel,
                                    std::uint8_t deviceSubModel);

// The confirmation question for the chosen record: its version and revision.
std::u16string ConfirmationText(const PackageHeader& header);

// True when the session's options bind it to no controllers, or to ones
// that cover the attached controller (what the selection refuses on).
bool WithinBinding(const UpdateSession& session);

// The file dialog's filter: TextId::FileType followed by "(*.dat)|*.dat||".
std::u16string PackageFilter();
