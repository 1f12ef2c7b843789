#include "catalogue/catalogue_maker.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "catalogue/package_check.h"

std::optional<CatalogueEntry> MakeCatalogueEntry(const std::string& file, std::span<const std::uint8_t> bytes,
                                                 const std::vector<InspectedRecord>& records,
                                                 const ISignatureVerifier& crypto)
{
    if (records.empty() || records.size() > kMaxRecordsPerEntry ||
        std::any_of(records.begin(), records.end(),
                    [](const InspectedRecord& r) { return !r.headerRead || r.problem != RecordProblem::None; }))
        return std::nullopt;
    CatalogueEntry entry;
    entry.file = file;
    entry.size = bytes.size();
    entry.sha256 = crypto.Sha256(bytes);
    for (const InspectedRecord& r : records)
        entry.records.push_back(ListedFields(r.header));
    return entry;
}

bool ApplyReleaseNotes(Catalogue& catalogue, std::string_view notes)
{
    using nlohmann::json;
    if (notes.size() > kMaxCatalogueBytes)
        return false;
    const json document = json::parse(notes.begin(), notes.end(), nullptr, false);
    if (document.is_discarded() || !document.is_object())
        return false;
    for (const auto& [file, note] : document.items()) {
        if (!note.is_object())
            return false;
        for (const char* key : {"channel", "date", "en", "zh"})
            if (note.contains(key) && !note[key].is_string())
                return false;
        if (note.contains("channel") && note["channel"] != ChannelName(Channel::Stable) && note["channel"] != ChannelName(Channel::Beta))
            return false;
    }
    for (CatalogueEntry& entry : catalogue.packages) {
        const auto note = document.find(entry.file);
        if (note == document.end())
            continue;
        entry.channel = note->value("channel", ChannelName(Channel::Stable)) == ChannelName(Channel::Beta) ? Channel::Beta : Channel::Stable;
        entry.date = note->value("date", entry.date);
        entry.notesEn = note->value("en", entry.notesEn);
        entry.notesZh = note->value("zh", entry.notesZh);
    }
    return true;
}
