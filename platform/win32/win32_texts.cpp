#include "platform/win32/win32_texts.h"

#include "platform/win32/win32_text.h"

std::u16string ModuleStringTable::LoadString(std::uint32_t id)
{
    // With a zero buffer size LoadStringW hands out a pointer into the
    // resource itself: no length limit and no copy to truncate.
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(m_Module, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text)
        return {};
    return FromWide(text, static_cast<std::size_t>(length));
}

std::uint16_t SystemUiLanguage::UserDefaultUILanguage() { return GetUserDefaultUILanguage(); }
