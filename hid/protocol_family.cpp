#include "hid/protocol_family.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<std::uint32_t, std::string_view>, 2> kFamilies = {{
    {kProtocolStream, "stream"},
    {kProtocolBlock, "block"},
}};

}  // namespace

std::string_view FamilyName(std::uint32_t variant)
{
    for (const auto& [value, name] : kFamilies)
        if (value == variant)
            return name;
    return {};
}

std::optional<std::uint32_t> FamilyNamed(std::string_view name)
{
    for (const auto& [value, familyName] : kFamilies)
        if (familyName == name)
            return value;
    return std::nullopt;
}
