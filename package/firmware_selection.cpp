#include "package/firmware_selection.h"

#include "app/diagnostics.h"
#include "app/process_state.h"
#include "app/text_table.h"
#include "app/update_dlg.h"
#include "app/wformat.h"
#include "block/block_device_types.h"
#include "package/package_validation.h"
#include "stream/stream_frame.h"

namespace {

constexpr int kTextFileType = 3;
constexpr int kTextNotRecognized = 17;
constexpr int kTextFirmwareVersion = 18;
constexpr std::uint32_t kOfnHideReadOnlyOverwritePrompt = 6;
// The current directory is read into a buffer of this many wide characters,
// its terminator included.
constexpr std::size_t kDirectoryBufferChars = 256;
constexpr std::uint32_t kTransferReadTimeoutMs = 10;
constexpr std::uint16_t kRuledModel = 261;

bool SpecialBlockDevice(const CUpdateDlg& dlg)
{
    return ProtocolVariant == kProtocolBlock && IsSpecialDeviceType(dlg.currentDeviceType);
}

FileOpenRequest PackageRequest(CUpdateDlg& dlg)
{
    FileOpenRequest request;
    request.filter = PackageFilter();
    request.defaultExtension = u"*.*";
    request.flags = kOfnHideReadOnlyOverwritePrompt;
    std::u16string directory = dlg.View().CurrentDirectory();
    // One that does not fit the buffer is left to the platform's default.
    if (directory.size() < kDirectoryBufferChars)
        request.initialDirectory = std::move(directory);
    return request;
}

// The record that applies: by type for a special block device, else the first.
bool ChooseRecord(CUpdateDlg& dlg, std::int32_t& recordOffset)
{
    recordOffset = 0;
    if (SpecialBlockDevice(dlg))
        recordOffset = FindPackageRecord(dlg.packagePath, dlg.currentDeviceType);
    return recordOffset >= 0;
}

void ShowNotRecognized(CUpdateDlg& dlg)
{
    dlg.ShowMessage(WFormat(u"%s\n", LoadText(kTextNotRecognized)));
}

// Reads and checks the header. A record that cannot be transferred (cut
// short, empty, past the end of the file) is refused with text 17.
bool ReadChosenHeader(CUpdateDlg& dlg, std::int32_t recordOffset)
{
    // The check writes header only when all 28 bytes were read.
    PackageHeader header = dlg.transfer.packageHeader;
    const RecordProblem problem = ReadAndValidatePackageRecord(dlg.packagePath, recordOffset, header);
    if (problem == RecordProblem::CannotOpen)
        return false;
    dlg.transfer.packageHeader = header;
    if (problem != RecordProblem::None) {
        if (!dlg.AbortRequested())
            ShowNotRecognized(dlg);
        return false;
    }
    TransferRecord& t = dlg.transfer;
    t.imageAddress = header.imageAddress;
    t.imageSize = header.imageSize;
    t.recordOffset = static_cast<std::uint32_t>(recordOffset);
    t.bytesSent = 0;
    return true;
}

bool Confirmed(CUpdateDlg& dlg)
{
    if (dlg.AbortRequested())
        return false;
    const int answer =
        dlg.ShowMessage(ConfirmationText(dlg.transfer.packageHeader), MessageButtons::OkCancel);
    if (dlg.AbortRequested())
        return false;  // the dialog closed while the question was open
    if (answer == kIdOk)
        return true;
    DebugOut(u"MessageBox == IDCANCEL\n");
    return false;
}

// A special block device must get a record meant for a special type.
bool RecordFitsDeviceType(CUpdateDlg& dlg)
{
    if (!SpecialBlockDevice(dlg) || IsSpecialDeviceType(dlg.transfer.packageHeader.deviceType))
        return true;
    if (!dlg.AbortRequested())
        ShowNotRecognized(dlg);
    return false;
}

void StartTransfer(CUpdateDlg& dlg, std::int32_t transportHandle, std::int32_t transportSelector)
{
    dlg.HidLink.SetReadTimeout(kTransferReadTimeoutMs);
    const std::uint32_t desVersion = dlg.transfer.packageHeader.desVersion;
    dlg.transfer.packageVersionWord = desVersion;
    if (ProtocolVariant != kProtocolStream)
        return;
    // State 1 before the packet goes: the first request starts this transfer.
    TransferState = 1;
    SendStartPacket(transportHandle, static_cast<std::uint8_t>(transportSelector), dlg.transfer);
    DebugOut(WFormat(u"desVersion is %d\n", static_cast<std::int32_t>(desVersion)));
}

}  // namespace

std::u16string PackageFilter()
{
    return LoadText(kTextFileType) + u"(*.dat)|*.dat||";
}

bool PackageCompatibilityRule(std::uint32_t protocolVariant, std::uint16_t deviceModel,
                              std::uint8_t deviceSubModel, std::uint32_t desVersion)
{
    if (protocolVariant != kProtocolStream || deviceModel != kRuledModel)
        return true;
    // Lowest accepted release (version x 100); its betas count as older.
    std::uint16_t lowest = 0;
    if (deviceSubModel == 0 || deviceSubModel == 1)
        lowest = 137;
    else if (deviceSubModel == 2)
        lowest = 502;
    else
        return true;
    const auto v = static_cast<std::uint16_t>(desVersion);
    const auto beta = static_cast<std::uint16_t>(desVersion >> 16);
    if (v != lowest)
        return v > lowest;
    return beta == 0;
}

std::u16string ConfirmationText(const PackageHeader& header)
{
    const std::u16string label = LoadText(kTextFirmwareVersion);
    const double v = static_cast<std::uint16_t>(header.desVersion) / 100.0;
    const auto b = static_cast<std::uint16_t>(header.desVersion >> 16);
    const auto r = static_cast<std::int32_t>(header.revision);
    if (r != 0 && b != 0)
        return WFormat(u"%s %.02f beta%d r%d\n", label, v, b, r);
    if (r != 0)
        return WFormat(u"%s %.02f r%d\n", label, v, r);
    if (b != 0)
        return WFormat(u"%s %.02f beta%d\n", label, v, b);
    return WFormat(u"%s %.02f\n", label, v);
}

bool SelectFirmwarePackage(std::int32_t transportHandle, std::int32_t transportSelector)
{
    CUpdateDlg* dlg = ActiveDialog.load();
    if (!dlg || dlg->AbortRequested())
        return false;
    std::u16string path;
    if (!dlg->View().FileOpenDialog(PackageRequest(*dlg), path))
        return false;
    dlg->packagePath = path;
    std::int32_t recordOffset = 0;
    if (!ChooseRecord(*dlg, recordOffset) || !ReadChosenHeader(*dlg, recordOffset))
        return false;
    const PackageHeader& header = dlg->transfer.packageHeader;
    if (!PackageCompatibilityRule(ProtocolVariant, dlg->deviceModel, dlg->deviceSubModel,
                                  header.desVersion))
        return false;
    if (!Confirmed(*dlg) || !RecordFitsDeviceType(*dlg))
        return false;
    StartTransfer(*dlg, transportHandle, transportSelector);
    return true;
}
