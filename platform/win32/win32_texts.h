#pragma once
// The text table's platform sources on Windows.
#include "platform/win32/windows_api.h"

#include "text/text_table.h"

// The string table of a module's resources (ids 129..147 and 238..256).
// LoadString: the entry as stored, or an empty string when the module has
// none with that id. Any thread; never blocks.
class ModuleStringTable final : public IStringTable {
public:
    explicit ModuleStringTable(HMODULE module) : m_Module(module) {}
    std::u16string LoadString(std::uint32_t id) override;

private:
    HMODULE m_Module;
};

// GetUserDefaultUILanguage, asked anew at every call. Any thread.
class SystemUiLanguage final : public IUiLanguage {
public:
    std::uint16_t UserDefaultUILanguage() override;
};
