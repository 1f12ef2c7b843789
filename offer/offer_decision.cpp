#include "offer/offer_decision.h"

#include "base/utf.h"
#include "cli/refusal_codes.h"
#include "engine/update_session.h"
#include "offer/offer_texts.h"
#include "text/firmware_version.h"
#include "text/wformat.h"

namespace {

bool VersionTold(std::uint32_t word) { return word != VersionProbeSentinel && word != kNoFirmwareVersion; }

std::optional<OfferText> RefusalOf(const std::string& reason)
{
    if (reason == kReasonCatalogueUntrusted || reason == kReasonBadTrustedKey)
        return OfferText::Untrusted;
    if (reason == kReasonCatalogueExpired || reason == kReasonCatalogueOlder || reason == kReasonCatalogueReplaced)
        return OfferText::OutOfDate;
    if (reason == kReasonPackageMismatch || reason == kReasonPackageLocation)
        return OfferText::PackageMismatch;
    if (reason == kReasonPackageUnreachable || reason == kReasonCannotSave)
        return OfferText::PackageUnreachable;
    if (reason == "outside-binding")
        return OfferText::OutsideBinding;
    if (reason == kReasonInterrupted)
        return std::nullopt;
    return OfferText::CatalogueUnreadable;
}

}  // namespace

std::optional<ControllerFacts> SessionFacts(const UpdateSession& session)
{
    const auto usb = session.HidLink.FoundUsbId();
    if (!usb)
        return std::nullopt;
    return ControllerFacts{session.HidLink.ProtocolVariant, *usb, session.device};
}

std::optional<FittingPackage> OfferedPackage(const Catalogue& catalogue, const ControllerFacts& facts)
{
    const std::vector<FittingPackage> fitting = FittingPackages(catalogue, facts, false);
    if (fitting.empty() || !UpdateAvailable(facts.device, fitting.front()))
        return std::nullopt;
    return fitting.front();
}

OfferQuestion QuestionFor(const FittingPackage& package, const DeviceDescription& device)
{
    const std::u16string offered = FirmwareVersionWord(package.record.desVersion).VersionText(package.record.revision);
    const std::uint32_t running = device.cur_devVersion;
    std::u16string text = VersionTold(running)
        ? WFormat(LoadOfferText(OfferText::Question).c_str(), offered, FirmwareVersionWord(running).VersionText(0))
        : WFormat(LoadOfferText(OfferText::QuestionNoVersion).c_str(), offered);
    const std::string& notes = ChineseUi() && !package.entry->notesZh.empty() ? package.entry->notesZh
                                                                              : package.entry->notesEn;
    // Appended piece by piece: "literal + string" trips GCC 12's -O3 into a
    // false -Wrestrict.
    if (!notes.empty()) {
        text += u"\n\n";
        text += Utf8ToUtf16(notes);
    }
    return {text, LoadOfferText(OfferText::Install), LoadOfferText(OfferText::ChooseFile),
            LoadOfferText(OfferText::Cancel)};
}

std::u16string RefusalText(const std::string& reason, const std::string& detail)
{
    const auto words = RefusalOf(reason);
    if (!words)
        return {};
    std::u16string text = LoadOfferText(*words);
    if (!detail.empty()) {
        text += u'\n';
        text += Utf8ToUtf16(detail);
    }
    text += u"\n\n";
    text += LoadOfferText(OfferText::ChooseInstead);
    return text;
}
