#pragma once
// The protocol families by one value: the link's ProtocolVariant, each
// driver's Variant() and a catalogue binding's family are the same number,
// and each has one name wherever a person or a file reads it.
#include <cstdint>
#include <optional>
#include <string_view>

inline constexpr std::uint32_t kProtocolStream = 0;
inline constexpr std::uint32_t kProtocolBlock = 1;

// "stream", "block"; empty for a variant no family has.
std::string_view FamilyName(std::uint32_t variant);
// The variant of a family's name.
std::optional<std::uint32_t> FamilyNamed(std::string_view name);
