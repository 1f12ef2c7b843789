#pragma once
// User-visible texts by index, stored once in Chinese and once in English.
// The data lives in res/texts.tsv; the build turns it into the compiled-in
// `TextTable` and into the Windows string table, so both always agree.
//
// Note for Windows sources: <windows.h> defines LoadString as a macro.
// Include this header after it and #undef LoadString where a file uses
// IStringTable::LoadString.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/text_id.h"

inline constexpr std::uint32_t kChineseStringBase = 129;
inline constexpr std::uint32_t kEnglishStringBase = 238;
inline constexpr int kTextCount = 19;
inline constexpr std::uint16_t kLangZhCn = 2052;     // Chinese (PRC)
inline constexpr std::uint16_t kLangEnUs = 1033;     // English (United States)

struct TextPair {
    std::u16string_view zh;
    std::u16string_view en;
};

// Index i holds string kChineseStringBase + i and kEnglishStringBase + i.
// Defined in the generated text_table_data.cpp.
extern const std::array<TextPair, kTextCount> TextTable;

// The user-interface language of the user account.
class IUiLanguage {
public:
    virtual ~IUiLanguage() = default;
    // Result: a 16-bit language identifier (2052 = Chinese PRC, 1033 =
    // English US, ...). Thread: any thread; must not block.
    virtual std::uint16_t UserDefaultUILanguage() = 0;
};

// A string table keyed by string id.
class IStringTable {
public:
    virtual ~IStringTable() = default;
    // Result: the string with that id, or an empty string when there is no
    // such entry. Thread: any thread.
    virtual std::u16string LoadString(std::uint32_t id) = 0;
};

// The string table made from `TextTable`: ids 129..147 and 238..256.
class CompiledStringTable final : public IStringTable {
public:
    std::u16string LoadString(std::uint32_t id) override;
};

// Replace the language source or the string table; nullptr restores the
// defaults (English US and the compiled table). The object must outlive
// every LoadText call that may see it; set these at start-up, not while
// workers run.
void SetUiLanguage(IUiLanguage* language);
void SetStringTable(IStringTable* table);

// True when the texts are shown in Chinese: the language is 2052. Asked at
// every call. Thread: any thread.
bool ChineseUi();

// Text `index` (0 .. kTextCount-1) in the current user-interface language:
// the Chinese copy under 2052, the English copy under every other language.
// The language is asked at every call. Unknown indices give an empty string.
// Thread: any thread.
std::u16string LoadText(int index);
inline std::u16string LoadText(TextId id) { return LoadText(static_cast<int>(id)); }
