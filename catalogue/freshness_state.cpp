#include "catalogue/freshness_state.h"

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

// Top, repositories, one repository.
constexpr int kMaxNesting = 3;

const json* Field(const json& object, const char* key)
{
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

std::optional<std::uint64_t> Unsigned(const json& object, const char* key)
{
    const json* value = Field(object, key);
    if (value == nullptr || !value->is_number_unsigned())
        return std::nullopt;
    return value->get<std::uint64_t>();
}

std::optional<std::string> Text(const json& object, const char* key)
{
    const json* value = Field(object, key);
    if (value == nullptr || !value->is_string())
        return std::nullopt;
    return value->get<std::string>();
}

std::optional<RepositoryMemory> ParseRepository(const json& item)
{
    if (!item.is_object())
        return std::nullopt;
    const auto version = Unsigned(item, "version");
    const auto keySet = Unsigned(item, "keySetVersion");
    const auto hex = Text(item, "sha256");
    const auto digest = hex ? ParseSha256Hex(*hex) : std::nullopt;
    const auto signedText = Text(item, "latestSigned");
    const auto latest = signedText ? ParseUtcTime(*signedText) : std::nullopt;
    if (!version || !keySet || !digest || !latest)
        return std::nullopt;
    return RepositoryMemory{*version, *keySet, *digest, *latest};
}

bool ParseKeyChains(const json& document, FreshnessState& state)
{
    const json* chains = Field(document, "keyChains");
    if (chains == nullptr)
        return true;
    if (!chains->is_object() || chains->size() > kMaxRememberedKeyChains)
        return false;
    for (const auto& [anchor, item] : chains->items()) {
        const bool named = !anchor.empty() && anchor.size() <= kMaxKeyChainAnchorBytes &&
                           anchor.find_first_not_of("0123456789abcdef-") == std::string::npos;
        if (!named || !item.is_string() || item.get_ref<const std::string&>().size() > kMaxRememberedKeySetBytes)
            return false;
        state.keyChains.emplace(anchor, item.get<std::string>());
    }
    return true;
}

}  // namespace

std::optional<FreshnessState> ParseFreshnessState(std::string_view text)
{
    if (text.size() > kMaxFreshnessStateBytes)
        return std::nullopt;
    bool tooDeep = false;
    const json document = json::parse(
        text,
        [&](int depth, json::parse_event_t, json&) {
            tooDeep = tooDeep || depth > kMaxNesting;
            return !tooDeep;
        },
        false);
    if (tooDeep || !document.is_object())
        return std::nullopt;
    const auto format = Unsigned(document, "format");
    const auto type = Text(document, "type");
    const json* repositories = Field(document, "repositories");
    if (format != std::uint64_t{kFreshnessStateFormat} || type != kFreshnessStateType || repositories == nullptr ||
        !repositories->is_object() || repositories->size() > kMaxRememberedRepositories)
        return std::nullopt;
    FreshnessState state;
    for (const auto& [name, item] : repositories->items()) {
        const auto memory = ParseRepository(item);
        if (name.empty() || name.size() > kMaxRepositoryNameBytes || !memory)
            return std::nullopt;
        state.repositories.emplace(name, *memory);
    }
    if (!ParseKeyChains(document, state))
        return std::nullopt;
    return state;
}

std::string FreshnessStateJson(const FreshnessState& state)
{
    json repositories = json::object();
    for (const auto& [name, memory] : state.repositories)
        repositories[name] = {{"version", memory.version}, {"keySetVersion", memory.keySetVersion},
                              {"sha256", Sha256Hex(memory.sha256)},
                              {"latestSigned", UtcTimeText(memory.latestSigned)}};
    json document = {{"format", kFreshnessStateFormat}, {"type", kFreshnessStateType},
                     {"repositories", repositories}};
    if (!state.keyChains.empty())
        document["keyChains"] = state.keyChains;
    return document.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
}
