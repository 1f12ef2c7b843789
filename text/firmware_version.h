#pragma once
// The 32-bit firmware version word of controllers and packages: the release
// times 100 in bits 0-15, a beta number in bits 16-31 (0: not a beta).
#include <cstdint>
#include <string>

class FirmwareVersionWord {
public:
    constexpr explicit FirmwareVersionWord(std::uint32_t word) : m_Word(word) {}

    constexpr std::uint32_t Word() const { return m_Word; }
    constexpr std::uint16_t Release() const { return static_cast<std::uint16_t>(m_Word); }
    constexpr std::uint16_t Beta() const { return static_cast<std::uint16_t>(m_Word >> 16); }
    // 137 -> 1.37
    constexpr double ReleaseNumber() const { return Release() / 100.0; }

    // "<title>(ZudoVor V1.37)" or "<title>(ZudoVor V1.37 beta2)".
    std::u16string TitleText(const std::u16string& title) const;
    // "1.37[ betaB][ rR]": a version as the confirmation writes it.
    std::u16string VersionText(std::uint32_t revision) const;
    // "<label> 1.37[ betaB][ rR]\n": the confirmation question.
    std::u16string ConfirmationText(const std::u16string& label, std::uint32_t revision) const;

    constexpr bool operator==(const FirmwareVersionWord&) const = default;

private:
    std::uint32_t m_Word;
};

// A package's revision as every text writes it (the confirmation's "r%d"):
// all 32 bits set read r-1.
constexpr std::int32_t RevisionNumber(std::uint32_t revision) { return static_cast<std::int32_t>(revision); }

// "1.37": the release alone, as the page, the station and the command line
// write it (no beta, no revision).
std::string ReleaseText(std::uint32_t word);
