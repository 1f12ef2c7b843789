#include "catalogue/key_set.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "catalogue/catalogue.h"

namespace {

using nlohmann::json;

constexpr const char* kRoles[] = {"root", "catalogue"};

KeySetParse Problem(KeySetProblem problem)
{
    KeySetParse parse;
    parse.problem = problem;
    return parse;
}

// nullopt: the role's problem is in problem.
std::optional<KeyRole> ReadRole(const json& value, KeySetProblem& problem)
{
    problem = KeySetProblem::Malformed;
    if (!value.is_object())
        return std::nullopt;
    const auto keys = value.find("keys");
    const auto threshold = value.find("threshold");
    if (keys == value.end() || !keys->is_array() || threshold == value.end() || !threshold->is_number_unsigned())
        return std::nullopt;
    problem = KeySetProblem::BadKeys;
    if (keys->size() > kMaxKeysPerRole)
        return std::nullopt;
    KeyRole role;
    for (const json& item : *keys) {
        const auto key = item.is_string() ? ParseSignifyKeyLine(item.get<std::string>()) : std::nullopt;
        if (!key)
            return std::nullopt;
        role.keys.push_back(*key);
    }
    role.threshold = threshold->get<std::size_t>();
    if (!RoleSound(role)) {
        problem = role.keys.empty() || role.threshold == 0 || role.threshold > role.keys.size()
                      ? KeySetProblem::BadThreshold
                      : KeySetProblem::BadKeys;
        return std::nullopt;
    }
    problem = KeySetProblem::None;
    return role;
}

nlohmann::ordered_json RoleJson(const KeyRole& role)
{
    nlohmann::ordered_json keys = nlohmann::ordered_json::array();
    for (const SignifyPublicKey& key : role.keys)
        keys.push_back(SignifyKeyLine(key));
    return {{"threshold", role.threshold}, {"keys", keys}};
}

}  // namespace

bool RoleSound(const KeyRole& role)
{
    if (role.keys.empty() || role.keys.size() > kMaxKeysPerRole || role.threshold == 0 ||
        role.threshold > role.keys.size())
        return false;
    // A key listed twice, by number or by key, would let one signer count twice.
    for (auto a = role.keys.begin(); a != role.keys.end(); ++a)
        for (auto b = a + 1; b != role.keys.end(); ++b)
            if (a->number == b->number || a->key == b->key)
                return false;
    return true;
}

KeySetParse ParseKeySet(std::string_view text)
{
    if (text.size() > kMaxKeySetBytes)
        return Problem(KeySetProblem::TooLarge);
    const json doc = json::parse(text, nullptr, false);
    if (!doc.is_object())
        return Problem(KeySetProblem::Malformed);
    const auto format = doc.find("format");
    if (format == doc.end() || !format->is_number_unsigned() || format->get<std::uint64_t>() != kCatalogueFormat)
        return Problem(KeySetProblem::UnknownFormat);
    const auto type = doc.find("type");
    if (type == doc.end() || !type->is_string() || type->get<std::string>() != kKeySetType)
        return Problem(KeySetProblem::WrongType);
    const auto version = doc.find("version");
    const auto expires = doc.find("expires");
    if (version == doc.end() || !version->is_number_unsigned() || version->get<std::uint64_t>() == 0 ||
        expires == doc.end() || !expires->is_string())
        return Problem(KeySetProblem::Malformed);
    KeySet set;
    set.version = version->get<std::uint64_t>();
    const auto time = ParseUtcTime(expires->get<std::string>());
    if (!time)
        return Problem(KeySetProblem::Malformed);
    set.expires = *time;
    KeyRole* roles[] = {&set.root, &set.catalogue};
    for (std::size_t i = 0; i < std::size(kRoles); ++i) {
        const auto value = doc.find(kRoles[i]);
        if (value == doc.end())
            return Problem(KeySetProblem::Malformed);
        KeySetProblem problem = KeySetProblem::None;
        auto role = ReadRole(*value, problem);
        if (!role)
            return Problem(problem);
        *roles[i] = std::move(*role);
    }
    KeySetParse parse;
    parse.keySet = std::move(set);
    return parse;
}

std::string KeySetJson(const KeySet& keySet)
{
    // Ordered as a reader would read it, header first.
    const nlohmann::ordered_json doc = {{"format", kCatalogueFormat},         {"type", kKeySetType},
                      {"version", keySet.version},          {"expires", UtcTimeText(keySet.expires)},
                      {"root", RoleJson(keySet.root)},      {"catalogue", RoleJson(keySet.catalogue)}};
    return doc.dump(1) + "\n";
}

std::string KeySetProblemText(KeySetProblem problem)
{
    switch (problem) {
    case KeySetProblem::None:
        return "a sound key set";
    case KeySetProblem::TooLarge:
        return "the key set is larger than 64 KiB";
    case KeySetProblem::Malformed:
        return "the key set is not valid JSON or lacks its version, expiry or keys";
    case KeySetProblem::UnknownFormat:
        return "the key set has a format number this program does not read";
    case KeySetProblem::WrongType:
        return "the file is not a key set (its type says otherwise)";
    case KeySetProblem::BadKeys:
        return "the key set lists a key that is not a signify public key, the same key twice, or more than 16";
    case KeySetProblem::BadThreshold:
        return "the key set asks for no signature or more signatures than it lists keys";
    }
    return {};
}

std::string KeySetFileName(std::uint64_t version)
{
    return std::to_string(version) + ".keys.json";
}

std::string SignifyKeyLine(const SignifyPublicKey& key)
{
    const std::string file = FormatSignifyPublicKey(key, "");
    const std::size_t start = file.find('\n') + 1;
    return file.substr(start, file.size() - start - 1);
}

std::optional<SignifyPublicKey> ParseSignifyKeyLine(std::string_view line)
{
    if (line.find('\n') != std::string_view::npos)
        return std::nullopt;
    return ParseSignifyPublicKey("untrusted comment: \n" + std::string(line) + "\n");
}
