#include "offer/catalogue_offer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "base/utf.h"
#include "cli/catalogue_freshness_step.h"
#include "cli/catalogue_load.h"
#include "cli/refusal_codes.h"
#include "engine/firmware_selection.h"
#include "engine/update_session.h"
#include "offer/offer_decision.h"
#include "text/text_table.h"

namespace {

// How often a waiting worker looks at the session's stop.
constexpr auto kStopPoll = std::chrono::milliseconds(20);
constexpr int kNoProgress = -1;

void SetBinding(UpdateSession& session, std::optional<ControllerBinding> binding)
{
    UpdateOptions options = session.Options();
    options.binding = std::move(binding);
    session.SetOptions(options);
}

}  // namespace

std::string ConfiguredCatalogue(const std::string& option)
{
    return option.empty() ? std::string(UPDATER_CATALOGUE_URL) : option;
}

CatalogueOffer::CatalogueOffer(const CatalogueServices& services, CatalogueSetup setup, IOfferAsker& asker)
    : m_Services(services), m_Setup(std::move(setup)), m_Asker(asker)
{
}

CatalogueOffer::~CatalogueOffer()
{
    Stop();
    if (m_Reader.joinable())
        m_Reader.join();
    RemoveLastDownload();
}

void CatalogueOffer::Stop()
{
    m_Stop.Request();
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_ReadEnded.notify_all();
}

bool CatalogueOffer::ReadDone() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Read != nullptr && !m_Reading;
}

void CatalogueOffer::ControllerAttached()
{
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        if (m_Reading || m_Stop.Requested())
            return;
        m_Reading = true;
    }
    if (m_Reader.joinable())
        m_Reader.join();  // it has ended
    m_Reader = std::thread([this] { ReadCatalogue(); });
}

void CatalogueOffer::ReadCatalogue()
{
    auto read = std::make_shared<Read>();
    const TrustChoice trust{m_Setup.trustFiles, UnsignedCatalogues::Refuse};
    LoadedCatalogue loaded = LoadCatalogue(m_Services, m_Setup.location, trust, {m_Stop, m_Setup.stallTimeoutMs});
    if (!loaded.catalogue) {
        read->reason = loaded.reason;
        read->detail = loaded.refusal;
    } else {
        CliOptions options;
        options.catalogue = m_Setup.location;
        EventOutput out(false, false, stderr, stderr);  // a warning on expiry, as the command line says it
        if (const auto refusal =
                JudgeAndRemember(m_Services, options, *loaded.catalogue, loaded.sha256, loaded.keyChain, out)) {
            read->reason = refusal->reason;
            read->detail = refusal->line;
        } else {
            read->catalogue = std::move(loaded.catalogue);
        }
    }
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Read = std::move(read);
    m_Reading = false;
    m_ReadEnded.notify_all();
}

std::shared_ptr<const CatalogueOffer::Read> CatalogueOffer::WaitForRead(const StopSignal& session)
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    while (m_Reading && !session.Requested() && !m_Stop.Requested())
        m_ReadEnded.wait_for(lock, kStopPoll);
    if (session.Requested() || m_Stop.Requested())
        return nullptr;
    return m_Read ? m_Read : std::make_shared<const Read>();
}

bool CatalogueOffer::ChoosePackage(UpdateSession& session, const std::function<bool(std::u16string&)>& chooseFile,
                                   std::u16string& path)
{
    SetBinding(session, std::nullopt);  // a chosen file is bound to nothing
    RemoveLastDownload();
    const auto read = WaitForRead(session.Stop());
    if (!read)
        return false;
    if (!read->catalogue && !read->reason.empty()) {
        Say(session, read->reason, read->detail);
        return !session.StopRequested() && chooseFile(path);
    }
    const auto facts = SessionFacts(session);
    const auto package = read->catalogue && facts ? OfferedPackage(*read->catalogue, *facts) : std::nullopt;
    if (!package)
        return chooseFile(path);
    switch (m_Asker.AskOffer(QuestionFor(*package, session.device), LoadText(TextId::Title))) {
    case OfferAnswer::Cancel:
        return false;
    case OfferAnswer::ChooseFile:
        return chooseFile(path);
    case OfferAnswer::Install:
        break;
    }
    if (Install(session, *package->entry, path))
        return true;
    return !session.StopRequested() && chooseFile(path);
}

bool CatalogueOffer::Install(UpdateSession& session, const CatalogueEntry& entry, std::u16string& path)
{
    const auto folder = TemporaryFolder();
    if (!folder) {
        Say(session, kReasonCannotSave, "");
        return false;
    }
    int shown = kNoProgress;
    const auto progress = [&](std::size_t received) {
        const std::uint64_t size = entry.size == 0 ? 1 : entry.size;
        const int percent = static_cast<int>(std::min<std::uint64_t>(100, received * std::uint64_t{100} / size));
        if (percent != shown)
            session.Ui().SetProgress(shown = percent);
    };
    const PackageDownload download =
        DownloadPackage(m_Services, m_Setup.location, entry, {session.Stop(), m_Setup.stallTimeoutMs}, *folder, progress);
    if (shown != kNoProgress)
        session.Ui().SetProgress(0);  // the update's own progress starts from the left
    if (download.path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(*folder, ignored);
        Say(session, download.reason, download.text);
        return false;
    }
    m_Downloaded = download.path;
    SetBinding(session, entry.binding);
    if (!WithinBinding(session)) {
        SetBinding(session, std::nullopt);
        RemoveLastDownload();
        Say(session, "outside-binding", "");
        return false;
    }
    path = Utf8ToUtf16(download.path);
    return true;
}

void CatalogueOffer::Say(UpdateSession& session, const std::string& reason, const std::string& detail)
{
    const std::u16string text = RefusalText(reason, detail);
    if (!text.empty() && !session.StopRequested())
        session.ShowMessage(text, MessageButtons::Ok);
}

void CatalogueOffer::RemoveLastDownload()
{
    if (m_Downloaded.empty())
        return;
    RemoveDownload(m_Downloaded);
    m_Downloaded.clear();
}
