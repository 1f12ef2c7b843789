#pragma once
#include <cstdint>

#include "text/text_table.h"

// A user-interface language that stays what the test says.
class FixedLanguage final : public IUiLanguage {
public:
    explicit FixedLanguage(std::uint16_t language) : m_Language(language) {}
    std::uint16_t UserDefaultUILanguage() override { return m_Language; }

private:
    std::uint16_t m_Language;
};
