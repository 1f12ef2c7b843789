#pragma once
// User-interface language on Linux, taken from the locale environment.
#include <functional>

#include "text/text_table.h"

class LocaleUiLanguage final : public IUiLanguage {
public:
    // Looks up an environment variable; returns nullptr when it is unset.
    using EnvLookup = std::function<const char*(const char*)>;

    explicit LocaleUiLanguage(EnvLookup lookup = DefaultLookup());

    // Result: 2052 when the message locale is Chinese (PRC), else 1033.
    // The environment is read at every call. Thread: any thread, as long as
    // nothing changes the environment meanwhile.
    std::uint16_t UserDefaultUILanguage() override;

private:
    static EnvLookup DefaultLookup();

    EnvLookup lookup_;
};
