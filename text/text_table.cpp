#include "text/text_table.h"

#include <atomic>

namespace {

class DefaultUiLanguage final : public IUiLanguage {
public:
    std::uint16_t UserDefaultUILanguage() override { return kLangEnUs; }
};

// Replacements installed by the platform or by tests; nullptr = default.
std::atomic<IUiLanguage*> g_language{nullptr};
std::atomic<IStringTable*> g_table{nullptr};

IUiLanguage& CurrentLanguage()
{
    static DefaultUiLanguage fallback;
    IUiLanguage* language = g_language.load(std::memory_order_acquire);
    return language ? *language : fallback;
}

IStringTable& CurrentTable()
{
    static CompiledStringTable fallback;
    IStringTable* table = g_table.load(std::memory_order_acquire);
    return table ? *table : fallback;
}

// Position of `id` within the range starting at `base`, or -1.
int RangeOffset(std::uint32_t id, std::uint32_t base)
{
    if (id < base || id - base >= static_cast<std::uint32_t>(kTextCount)) return -1;
    return static_cast<int>(id - base);
}

}  // namespace

std::u16string CompiledStringTable::LoadString(std::uint32_t id)
{
    const auto index = [](int i) { return static_cast<std::size_t>(i); };
    if (int i = RangeOffset(id, kChineseStringBase); i >= 0)
        return std::u16string(TextTable[index(i)].zh);
    if (int i = RangeOffset(id, kEnglishStringBase); i >= 0)
        return std::u16string(TextTable[index(i)].en);
    return {};
}

void SetUiLanguage(IUiLanguage* language)
{
    g_language.store(language, std::memory_order_release);
}

void SetStringTable(IStringTable* table)
{
    g_table.store(table, std::memory_order_release);
}

bool ChineseUi() { return CurrentLanguage().UserDefaultUILanguage() == kLangZhCn; }

std::u16string LoadText(int index)
{
    // Only the defined indices map to ids; anything else would alias the
    // other range or overflow.
    if (index < 0 || index >= kTextCount) return {};
    const std::uint32_t base = ChineseUi() ? kChineseStringBase : kEnglishStringBase;
    return CurrentTable().LoadString(base + static_cast<std::uint32_t>(index));
}
