#include "station/unit_run.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "base/utf.h"
#include "engine/session_start.h"
#include "hid/hid.h"
#include "package/package_header.h"
#include "package/package_validation.h"
#include "protocols/standard_protocols.h"
#include "text/text_table.h"

namespace {

// The version of the record this controller would get, when there is one.
std::optional<std::uint32_t> PackageVersionFor(UpdateSession& session, const std::u16string& package)
{
    const ProtocolDriver* driver = session.Driver();
    if (driver == nullptr)
        return std::nullopt;
    std::int32_t offset = 0;
    if (const auto type = driver->RecordType(session.device))
        offset = FindPackageRecord(package, *type);
    if (offset < 0)
        return std::nullopt;
    PackageHeader header;
    if (ReadAndValidatePackageRecord(package, offset, header) != RecordProblem::None)
        return std::nullopt;
    return header.desVersion;
}

// The refusals that end a unit; a stop or a cancel is not the package's.
const char* RefusalReason(SelectionRefusal refusal)
{
    switch (refusal) {
    case SelectionRefusal::None:
    case SelectionRefusal::Stopped:
    case SelectionRefusal::NoFileChosen:
    case SelectionRefusal::Cancelled:
        return nullptr;
    default:
        return SelectionRefusalCode(refusal);
    }
}

}  // namespace

UnitRun::UnitRun(IHidBackend& backend, IClock& clock, UnitRecord record, IUnitPackages& packages, bool verify,
                 ProgressCallback progress)
    : m_Record(std::move(record)),
      m_Packages(packages),
      m_Verify(verify),
      m_Progress(std::move(progress)),
      m_Session(backend, clock, *this, StandardProtocolDrivers())
{
}

UnitRecord UnitRun::Run()
{
    IClock& clock = m_Session.Clock();
    m_Record.startMs = clock.NowMs();
    const KnownController controller{m_Record.unit.path, m_Record.unit.variant};
    StartSession(m_Session, {StartIdle::Fresh, controller});
    m_Record.versionBefore = m_Session.device.cur_devVersion;
    m_Record.versionKnown = m_Record.versionBefore != VersionProbeSentinel;
    m_Record.versionAfter = m_Record.versionBefore;
    if (m_Session.StopRequested())
        Finish(UnitOutcome::Failed, "stopped");
    else if (TakePackage())
        Update();
    if (m_Package.owned) {
        std::error_code ignored;
        std::filesystem::remove(std::filesystem::path(m_Package.path), ignored);
    }
    m_Record.durationMs = clock.NowMs() - m_Record.startMs;
    return m_Record;
}

bool UnitRun::TakePackage()
{
    const UnitIdentity& id = m_Record.unit.identity;
    const BoundController controller{m_Record.unit.variant, UsbId{id.vendorId, id.productId}, m_Session.device,
                                     false};
    m_Package = m_Packages.PackageFor(controller, m_Session.Stop());
    m_Record.trace = m_Package.trace;
    if (!m_Package.path.empty())
        return true;
    if (m_Session.StopRequested())
        Finish(UnitOutcome::Failed, "stopped");
    else
        Finish(UnitOutcome::Refused, m_Package.refusal, Utf8ToUtf16(m_Package.refusalText));
    return false;
}

void UnitRun::Update()
{
    m_Session.SetOptions({m_Verify, m_Package.binding});
    const auto packageVersion = PackageVersionFor(m_Session, m_Package.path);
    if (m_Record.versionKnown && packageVersion == m_Record.versionBefore)
        return Finish(UnitOutcome::UpToDate, "up-to-date");
    if (!m_Session.PrepareUpdate())
        return Finish(UnitOutcome::Failed, "cannot-open-controller");
    const UpdateResult result = m_Session.RunUpdate();
    Judge(result);
    if (m_Record.outcome != UnitOutcome::Updated)
        return;
    if (packageVersion)
        m_Record.versionAfter = *packageVersion;
    if (m_Verify)
        m_Record.readBack = result.verify.verdict == VerifyVerdict::Passed ? ReadBack::Matched : ReadBack::NotVerified;
}

void UnitRun::Judge(const UpdateResult& result)
{
    if (result.outcome == UpdateOutcome::Succeeded)
        return Finish(UnitOutcome::Updated, "updated");
    if (const char* refusal = RefusalReason(result.selection.refusal))
        return Finish(UnitOutcome::Refused, refusal);
    if (m_Session.StopRequested())
        return Finish(UnitOutcome::Failed, "stopped");
    if (m_Session.HidLink.DeviceGone())
        return Finish(UnitOutcome::Failed, "unplugged");
    if (result.verify.verdict == VerifyVerdict::Mismatch)
        return Finish(UnitOutcome::Failed, "read-back-differs");
    if (result.outcome == UpdateOutcome::Failed && result.controllerReported)
        return Finish(UnitOutcome::Failed, "controller-failure", LoadText(result.failureText));
    Finish(UnitOutcome::Failed, "no-answer");
}

void UnitRun::Finish(UnitOutcome outcome, std::string reason, std::u16string message)
{
    m_Record.outcome = outcome;
    m_Record.reason = std::move(reason);
    m_Record.message = std::move(message);
}

// The confirmation is the station's to answer, and it starts every unit it
// takes; any other message is already in the result.
int UnitRun::ShowMessage(const std::u16string&, MessageButtons) { return kIdOk; }

void UnitRun::SetProgress(int position)
{
    m_Record.percent = position;
    if (m_Progress)
        m_Progress(m_Record.id, position);
}

bool UnitRun::ChooseFile(const FileOpenRequest&, std::u16string& path)
{
    path = m_Package.path;
    return true;
}
