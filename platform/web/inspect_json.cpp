#include "platform/web/inspect_json.h"

#include "base/utf.h"
#include "block/block_device_types.h"
#include "engine/firmware_selection.h"
#include "protocols/package_inspection.h"

// Our strings are valid UTF-8 (our texts, or catalogue text the JSON reader
// checked); quotes, backslashes and control characters are the only ones
// JSON needs escaped.
std::string JsonQuoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[(c >> 4) & 0xF];
            out += kHex[c & 0xF];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

namespace {

std::string Field(const char* name, const std::string& value)
{
    return JsonQuoted(name) + ":" + value + ",";
}

std::string Record(const InspectedRecord& r)
{
    std::string json = "{" + Field("offset", std::to_string(r.offset)) +
                       Field("headerRead", r.headerRead ? "true" : "false");
    if (r.headerRead) {
        const PackageHeader& h = r.header;
        std::string version = Utf16ToUtf8(ConfirmationText(h));
        if (!version.empty() && version.back() == '\n')
            version.pop_back();
        json += Field("deviceType", std::to_string(h.deviceType)) +
                Field("special", IsSpecialDeviceType(h.deviceType) ? "true" : "false") +
                Field("version", JsonQuoted(version)) + Field("revision", std::to_string(h.revision)) +
                Field("imageAddress", std::to_string(h.imageAddress)) +
                Field("imageSize", std::to_string(h.imageSize));
    }
    std::string chosen;
    for (const std::string& kind : r.chosenFor)
        chosen += (chosen.empty() ? "" : ",") + JsonQuoted(kind);
    return json + Field("problem", JsonQuoted(std::string(RecordProblemName(r.problem)))) +
           "\"chosenFor\":[" + chosen + "]}";
}

}  // namespace

std::string InspectJson(const std::u16string& path)
{
    bool opened = false;
    const std::vector<InspectedRecord> records = InspectPackage(path, opened);
    std::string list;
    for (const InspectedRecord& r : records)
        list += (list.empty() ? "" : ",") + Record(r);
    return std::string("{\"opened\":") + (opened ? "true" : "false") + ",\"records\":[" + list + "]}";
}
