#include "station/unit_line.h"

#include <cstdio>
#include <map>

#include "base/utf.h"
#include "text/firmware_version.h"

namespace {

// A message box's text on one line.
std::string OneLine(const std::u16string& text)
{
    std::string line;
    for (char c : Utf16ToUtf8(text))
        if (!(c == ' ' || c == '\n' || c == '\r') || (!line.empty() && line.back() != ' '))
            line += c == '\n' || c == '\r' ? ' ' : c;
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

// The reason codes in words, for outcomes that showed no message.
std::string ReasonText(const std::string& reason)
{
    static const std::map<std::string, std::string> texts = {
        {"no-record", "the package has no record for this controller"},
        {"incompatible", "this controller does not accept the package's version"},
        {"broken-record", "the record for this controller is broken"},
        {"wrong-record-type", "the record is not meant for this controller"},
        {"outside-binding", "the catalogue lists this package for other controllers"},
        {"cannot-open", "the package cannot be opened"},
        {"cannot-open-controller", "the controller cannot be opened"},
        {"stopped", "stopped by the operator, at a safe point"},
        {"unplugged", "unplugged during the update"},
        {"no-answer", "the controller stopped answering"},
        {"read-back-differs", "the image read back differs"},
        {"update-failed", "the update failed"},
    };
    const auto found = texts.find(reason);
    return found == texts.end() ? reason : found->second;
}

}  // namespace

std::string UnitTraceText(const UnitTrace& trace)
{
    std::string text = trace.packageFile;
    if (!trace.packageSha256.empty())
        text += " sha256 " + trace.packageSha256;
    if (!trace.catalogueRepository.empty())
        text += (text.empty() ? "" : ", ") + std::string("catalogue ") + trace.catalogueRepository + " version " +
                std::to_string(trace.catalogueVersion);
    if (!trace.belowFloor.empty())
        text += ", below the security floor " + trace.belowFloor;
    return text;
}

std::string UnitMessage(const UnitRecord& record)
{
    if (record.message.empty())
        return ReasonText(record.reason);
    if (record.reason == "controller-failure")
        return "the controller reported a failure: " + OneLine(record.message);
    return OneLine(record.message);
}

std::string UnitVersionText(std::uint32_t word, bool known)
{
    if (!known)
        return "?";
    return ReleaseText(word);
}

std::string UnitVidPid(const UnitIdentity& identity)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04X:%04X", identity.vendorId, identity.productId);
    return text;
}

std::string UnitFamily(const AttachedUnit& unit) { return std::string(FamilyName(unit.variant)); }

std::string UnitLine(const UnitRecord& record, const std::string& time)
{
    const UnitIdentity& id = record.unit.identity;
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.1f s", static_cast<double>(record.durationMs) / 1000.0);
    std::string line = time + "  " + id.port + (id.serial.empty() ? "" : " " + id.serial) + "  " + UnitVidPid(id) +
                       "  " + UnitFamily(record.unit) + "  " +
                       UnitVersionText(record.versionBefore, record.versionKnown) + " -> " +
                       UnitVersionText(record.versionAfter, record.versionKnown) + "  " +
                       OutcomeName(record.outcome) + "  " + duration;
    if (record.readBack != ReadBack::NotAsked)
        line += record.readBack == ReadBack::Matched ? "  verified" : "  not verified";
    if (record.outcome == UnitOutcome::Failed || record.outcome == UnitOutcome::Refused)
        line += ": " + UnitMessage(record);
    const std::string trace = UnitTraceText(record.trace);
    return trace.empty() ? line : line + "  [" + trace + "]";
}

std::string CountersLine(const StationCounters& c)
{
    return "updated " + std::to_string(c.updated) + "  up to date " + std::to_string(c.upToDate) + "  failed " +
           std::to_string(c.failed) + "  refused " + std::to_string(c.refused) + "  running " +
           std::to_string(c.running);
}
