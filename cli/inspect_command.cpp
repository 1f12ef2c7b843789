#include "cli/inspect_command.h"

#include <cstdio>

#include "base/utf.h"
#include "block/block_device_types.h"
#include "cli/exit_codes.h"
#include "cli/hex_text.h"
#include "cli/package_precheck.h"
#include "cli/record_problem_text.h"
#include "engine/firmware_selection.h"

namespace {


std::string RecordState(RecordProblem problem)
{
    const bool broken = problem != RecordProblem::None && problem != RecordProblem::CannotOpen &&
                        problem != RecordProblem::ReadError;
    return (broken ? "broken: " : "") + RecordProblemText(problem);
}

std::string Describe(const InspectedRecord& r)
{
    std::string line = "offset " + std::to_string(r.offset);
    if (!r.headerRead)
        return line + "  " + RecordState(r.problem);
    const PackageHeader& h = r.header;
    std::string version = Utf16ToUtf8(ConfirmationText(h));
    if (!version.empty() && version.back() == '\n')
        version.pop_back();
    line += "  type 0x" + Hex(h.deviceType) + (IsSpecialDeviceType(h.deviceType) ? " (special)" : "") +
            "  " + version + "  revision " + std::to_string(h.revision) + "  address 0x" +
            Hex(h.imageAddress) + "  size " + std::to_string(h.imageSize) + "  " + RecordState(r.problem);
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
