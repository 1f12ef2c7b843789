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

namespace {

using nlohmann::json;

template <typename T>
bool ReadList(const json& binding, const char* key, std::uint64_t max, std::vector<T>& list)
{
    if (!binding.contains(key))
        return true;
    const json& items = binding[key];
    if (!items.is_array())
        return false;
    for (const json& item : items) {
        if (!item.is_number_unsigned() || item.get<std::uint64_t>() > max)
            return false;
        list.push_back(static_cast<T>(item.get<std::uint64_t>()));
    }
    return true;
}

std::optional<ControllerBinding> BindingOf(const json& j)
{
    if (!j.is_object() || !j.contains("family") || !j["family"].is_string() || !j.contains("usb") ||
        !j["usb"].is_array())
        return std::nullopt;
    ControllerBinding binding;
    const auto family = FamilyNamed(j["family"].get<std::string>());
    if (!family)
        return std::nullopt;
    binding.family = *family;
    for (const json& id : j["usb"]) {
        const auto usb = id.is_string() ? ParseUsbId(id.get<std::string>()) : std::nullopt;
        if (!usb)
            return std::nullopt;
        binding.usb.push_back(*usb);
    }
    if (!ReadList(j, "deviceTypes", UINT32_MAX, binding.deviceTypes) ||
        !ReadList(j, "models", UINT16_MAX, binding.models) || !ReadList(j, "subModels", UINT8_MAX, binding.subModels) ||
        !BindingComplete(binding))
        return std::nullopt;
    return binding;
}

}  // namespace

std::optional<ControllerBinding> ParseBinding(std::string_view text)
{
    return BindingOf(json::parse(text.begin(), text.end(), nullptr, false));
}

std::optional<Publication> NextPublication(const std::optional<Catalogue>& previous, const std::string& repository,
                                           UtcSeconds now, std::uint32_t lifetimeDays)
{
    Publication next;
    next.repository = repository.empty() && previous ? previous->repository : repository;
    if (next.repository.empty())
        return std::nullopt;
    // A new series starts at 1; the same one goes on from the last number.
    if (previous && previous->repository == next.repository)
        next.version = previous->version + 1;
    next.published = now;
    next.expires = now + static_cast<UtcSeconds>(lifetimeDays) * kSecondsPerDay;
    return next;
}

bool ApplyReleaseNotes(Catalogue& catalogue, std::string_view notes)
{
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
        if (note.contains("for") && !BindingOf(note["for"]))
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
        if (note->contains("for"))
            entry.binding = *BindingOf((*note)["for"]);
    }
    return true;
}
