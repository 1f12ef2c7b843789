#include "text/firmware_version.h"

#include <cstdio>

#include "text/wformat.h"

std::string ReleaseText(std::uint32_t word)
{
    const unsigned release = FirmwareVersionWord(word).Release();
    char text[16];
    std::snprintf(text, sizeof text, "%u.%02u", release / 100u, release % 100u);
    return text;
}

std::u16string FirmwareVersionWord::TitleText(const std::u16string& title) const
{
    if (Beta() != 0)
        return WFormat(u"%s(ZudoVor V%0.2f beta%d)", title, ReleaseNumber(), Beta());
    return WFormat(u"%s(ZudoVor V%0.2f)", title, ReleaseNumber());
}

std::u16string FirmwareVersionWord::VersionText(std::uint32_t revision) const
{
    const double v = ReleaseNumber();
    const auto b = Beta();
    const auto r = RevisionNumber(revision);
    if (r != 0 && b != 0)
        return WFormat(u"%.02f beta%d r%d", v, b, r);
    if (r != 0)
        return WFormat(u"%.02f r%d", v, r);
    if (b != 0)
        return WFormat(u"%.02f beta%d", v, b);
    return WFormat(u"%.02f", v);
}

std::u16string FirmwareVersionWord::ConfirmationText(const std::u16string& label,
                                                     std::uint32_t revision) const
{
    return label + u" " + VersionText(revision) + u"\n";
}
