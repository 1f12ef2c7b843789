#include "engine/firmware_selection.h"

#include "base/diagnostics.h"
#include "engine/transfer_timing.h"
#include "engine/update_session.h"
#include "package/package_validation.h"
#include "text/firmware_version.h"
#include "text/text_table.h"
#include "text/wformat.h"

namespace {

constexpr std::uint32_t kOfnHideReadOnlyOverwritePrompt = 6;
// The current directory is read into a buffer of this many wide characters,
// its terminator included.
constexpr std::size_t kDirectoryBufferChars = 256;
constexpr std::uint16_t kRuledModel = 261;

FileOpenRequest PackageRequest(UpdateSession& session)
{
    FileOpenRequest request;
    request.filter = PackageFilter();
    request.defaultExtension = u"*.*";
    request.flags = kOfnHideReadOnlyOverwritePrompt;
    std::u16string directory = session.Ui().CurrentDirectory();
    // One that does not fit the buffer is left to the platform's default.
    if (directory.size() < kDirectoryBufferChars)
        request.initialDirectory = std::move(directory);
    return request;
}

SelectionOutcome Refused(SelectionRefusal refusal, const PackageHeader& header = {})
{
    SelectionOutcome outcome;
    outcome.refusal = refusal;
    outcome.header = header;
    return outcome;
}

void ShowNotRecognized(UpdateSession& session)
{
    if (!session.StopRequested())
        session.ShowMessage(WFormat(u"%s\n", LoadText(TextId::NotRecognized)));
}

// The record that applies: the one of the type the driver names, else the
// first. Reads and checks its header; a record that cannot be transferred
// (cut short, empty, past the end of the file) is refused with
// TextId::NotRecognized.
SelectionOutcome ReadChosenRecord(UpdateSession& session, const std::u16string& path)
{
    std::int32_t recordOffset = 0;
    const ProtocolDriver* driver = session.Driver();
    if (const auto type = driver ? driver->RecordType(session.device) : std::nullopt)
        recordOffset = FindPackageRecord(path, *type);
    if (recordOffset < 0)
        return Refused(SelectionRefusal::NoRecord);
    // The check writes header only when all 28 bytes were read.
    PackageHeader header;
    const RecordProblem problem = ReadAndValidatePackageRecord(path, recordOffset, header);
    if (problem == RecordProblem::CannotOpen)
        return Refused(SelectionRefusal::CannotOpen);
    if (problem != RecordProblem::None) {
        ShowNotRecognized(session);
        SelectionOutcome outcome = Refused(SelectionRefusal::BrokenRecord, header);
        outcome.problem = problem;
        return outcome;
    }
    SelectionOutcome outcome;
    outcome.header = header;
    outcome.plan = TransferPlan{path, static_cast<std::uint32_t>(recordOffset), header};
    return outcome;
}

bool Confirmed(UpdateSession& session, const PackageHeader& header)
{
    if (session.StopRequested())
        return false;
    const int answer = session.ShowMessage(ConfirmationText(header), MessageButtons::OkCancel);
    if (session.StopRequested())
        return false;  // closing while the question was open
    if (answer == kIdOk)
        return true;
    DebugOut(u"MessageBox == IDCANCEL\n");
    return false;
}

bool RecordFitsDevice(UpdateSession& session, const PackageHeader& header)
{
    const ProtocolDriver* driver = session.Driver();
    if (driver && driver->RecordFits(session.device, header))
        return true;
    ShowNotRecognized(session);
    return false;
}

}  // namespace

// The stream model is told before the selection; a block controller's type
// at its identification.
bool WithinBinding(const UpdateSession& session)
{
    const auto& binding = session.Options().binding;
    if (!binding)
        return true;
    const std::uint32_t family = session.HidLink.ProtocolVariant;
    return BindingCovers(*binding, {family, session.HidLink.FoundUsbId(), session.device, family == kProtocolStream});
}

std::u16string PackageFilter()
{
    return LoadText(TextId::FileType) + u"(*.dat)|*.dat||";
}

const char* SelectionRefusalCode(SelectionRefusal refusal)
{
    switch (refusal) {
    case SelectionRefusal::None: return "";
    case SelectionRefusal::Stopped: return "stopped";
    case SelectionRefusal::NoFileChosen: return "no-file";
    case SelectionRefusal::CannotOpen: return "cannot-open";
    case SelectionRefusal::NoRecord: return "no-record";
    case SelectionRefusal::BrokenRecord: return "broken-record";
    case SelectionRefusal::Incompatible: return "incompatible";
    case SelectionRefusal::Cancelled: return "cancelled";
    case SelectionRefusal::WrongRecordType: return "wrong-record-type";
    case SelectionRefusal::OutsideBinding: return "outside-binding";
    }
    return "";
}

std::uint16_t LowestAcceptedRelease(std::uint32_t protocolVariant, std::uint16_t deviceModel,
                                    std::uint8_t deviceSubModel)
{
    if (protocolVariant != kProtocolStream || deviceModel != kRuledModel)
        return 0;
    if (deviceSubModel == 0 || deviceSubModel == 1)
        return 137;
    if (deviceSubModel == 2)
        return 502;
    return 0;
}

bool PackageCompatibilityRule(std::uint32_t protocolVariant, std::uint16_t deviceModel,
                              std::uint8_t deviceSubModel, std::uint32_t desVersion)
{
    const std::uint16_t lowest = LowestAcceptedRelease(protocolVariant, deviceModel, deviceSubModel);
    if (lowest == 0)
        return true;
    // The lowest release's betas count as older.
    const FirmwareVersionWord version(desVersion);
    if (version.Release() != lowest)
        return version.Release() > lowest;
    return version.Beta() == 0;
}

std::u16string ConfirmationText(const PackageHeader& header)
{
    return FirmwareVersionWord(header.desVersion)
        .ConfirmationText(LoadText(TextId::FirmwareVersion), header.revision);
}

SelectionOutcome SelectFirmwarePackage(UpdateSession& session)
{
    if (session.StopRequested())
        return Refused(SelectionRefusal::Stopped);
    std::u16string path;
    if (!session.Ui().ChooseFile(PackageRequest(session), path))
        return Refused(SelectionRefusal::NoFileChosen);
    SelectionOutcome outcome = ReadChosenRecord(session, path);
    if (!outcome.plan)
        return outcome;
    const PackageHeader& header = outcome.plan->header;
    if (!WithinBinding(session))
        return Refused(SelectionRefusal::OutsideBinding, header);
    if (!PackageCompatibilityRule(session.HidLink.ProtocolVariant, session.device.deviceModel,
                                  session.device.deviceSubModel, header.desVersion))
        return Refused(SelectionRefusal::Incompatible, header);
    if (!Confirmed(session, header))
        return Refused(session.StopRequested() ? SelectionRefusal::Stopped
                                               : SelectionRefusal::Cancelled,
                       header);
    if (!RecordFitsDevice(session, header))
        return Refused(SelectionRefusal::WrongRecordType, header);
    return outcome;
}

void StartTransfer(UpdateSession& session, const TransferPlan& plan)
{
    TransferRecord& t = session.transfer;
    session.packagePath = plan.packagePath;
    t.packageHeader = plan.header;
    t.imageAddress = plan.header.imageAddress;
    t.imageSize = plan.header.imageSize;
    t.recordOffset = plan.recordOffset;
    t.bytesSent = 0;
    session.HidLink.SetReadTimeout(kTransferReadTimeoutMs);
    t.packageVersionWord = plan.header.desVersion;
}

std::optional<TransferPlan> SelectAndStart(UpdateSession& session)
{
    const SelectionOutcome outcome = SelectFirmwarePackage(session);
    session.NoteSelection(outcome);
    if (outcome.plan)
        StartTransfer(session, *outcome.plan);
    return outcome.plan;
}
