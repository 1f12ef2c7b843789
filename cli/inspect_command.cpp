#include "cli/inspect_command.h"

#include <cstdio>

#include "base/utf.h"
#include "block/block_device_types.h"
#include "cli/exit_codes.h"
#include "cli/package_precheck.h"
#include "engine/firmware_selection.h"

namespace {

std::string Hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

std::string Problem(RecordProblem problem)
{
    switch (problem) {
    case RecordProblem::None: return "sound";
    case RecordProblem::CannotOpen: return "the file cannot be opened";
    case RecordProblem::ReadError: return "the header cannot be read";
    case RecordProblem::HeaderCutShort: return "broken: the header is cut short by the end of the file";
    case RecordProblem::EmptyImage: return "broken: the image size is 0";
    case RecordProblem::OffsetOverflow: return "broken: the record ends beyond 2 GiB (overflow)";
    case RecordProblem::ImagePastEnd: return "broken: the image runs past the end of the file";
    }
    return "broken";
}

std::string Describe(const InspectedRecord& r)
{
    std::string line = "offset " + std::to_string(r.offset);
    if (!r.headerRead)
        return line + "  " + Problem(r.problem);
    const PackageHeader& h = r.header;
    std::string version = Utf16ToUtf8(ConfirmationText(h));
    if (!version.empty() && version.back() == '\n')
        version.pop_back();
    line += "  type " + Hex(h.deviceType) + (IsSpecialDeviceType(h.deviceType) ? " (special)" : "") +
            "  " + version + "  revision " + std::to_string(h.revision) + "  address " +
            Hex(h.imageAddress) + "  size " + std::to_string(h.imageSize) + "  " + Problem(r.problem);
    std::string chosen;
    for (const std::string& kind : r.chosenFor)
        chosen += (chosen.empty() ? "" : ", ") + kind;
    return line + "  chosen for: " + (chosen.empty() ? "none" : chosen);
}

}  // namespace

int RunInspect(const std::string& path, EventOutput& out)
{
    if (const auto problem = PackageFileProblem(path)) {
        out.Message(*problem, {{"event", "failed"}, {"reason", "package-unusable"}, {"message", *problem}});
        return kExitPackageRefused;
    }
    bool opened = false;
    const std::vector<InspectedRecord> records = InspectPackage(Utf8ToUtf16(path), opened);
    if (!opened) {
        out.Message(path + ": cannot be opened",
                    {{"event", "failed"}, {"reason", "cannot-open"}, {"message", "cannot be opened"}});
        return kExitPackageRefused;
    }
    bool sound = true;
    for (const InspectedRecord& r : records) {
        sound = sound && r.problem == RecordProblem::None;
        nlohmann::json event = {{"event", "record"}, {"offset", r.offset},
                                {"sound", r.problem == RecordProblem::None},
                                {"problem", std::string(RecordProblemName(r.problem))},
                                {"chosenFor", r.chosenFor}};
        if (r.headerRead) {
            event["deviceType"] = r.header.deviceType;
            event["special"] = IsSpecialDeviceType(r.header.deviceType);
            event["version"] = r.header.desVersion;
            event["revision"] = r.header.revision;
            event["imageAddress"] = r.header.imageAddress;
            event["imageSize"] = r.header.imageSize;
        }
        out.Data(Describe(r), event);
    }
    const std::string verdict = sound ? "Every record is sound." : "The package has a broken record.";
    out.Message(verdict, {{"event", sound ? "done" : "failed"}, {"reason", sound ? "sound" : "broken-record"}});
    return sound ? kExitDone : kExitPackageRefused;
}
