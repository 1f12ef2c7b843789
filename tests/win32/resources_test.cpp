// The compiled resources as the system reads them: dialog template 102
// field by field, icon 152 and the manifest.
#include <gtest/gtest.h>

#include "platform/win32/windows_api.h"
// after <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"
#include "res/resource.h"

namespace {

std::vector<std::uint8_t> Resource(LPCWSTR type, int id)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!found)
        return {};
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
    return std::vector<std::uint8_t>(data, data + SizeofResource(module, found));
}

// Reads a DLGTEMPLATEEX front to back.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<std::uint8_t>& data) : m_Data(data) {}
    std::uint16_t Word() { return Take<std::uint16_t>(); }
    std::uint32_t Dword() { return Take<std::uint32_t>(); }
    std::int16_t Short() { return Take<std::int16_t>(); }
    std::uint8_t Byte() { return Take<std::uint8_t>(); }
    // A string, or an ordinal written as "#n".
    std::u16string NameOrOrdinal()
    {
        if (Peek() == 0xFFFF) {
            Word();
            return Ordinal(Word());
        }
        return String();
    }
    std::u16string String()
    {
        std::u16string text;
        while (const std::uint16_t c = Word())
            text.push_back(static_cast<char16_t>(c));
        return text;
    }
    void AlignDword() { m_Offset = (m_Offset + 3) & ~std::size_t(3); }
    bool Overran() const { return m_Overran; }

private:
    static std::u16string Ordinal(unsigned n)
    {
        std::u16string text(1, u'#');
        for (char digit : std::to_string(n))
            text.push_back(static_cast<char16_t>(digit));
        return text;
    }
    std::uint16_t Peek()
    {
        const std::size_t at = m_Offset;
        const std::uint16_t value = Word();
        m_Offset = at;
        return value;
    }
    template <class T>
    T Take()
    {
        T value{};
        if (m_Offset + sizeof(T) > m_Data.size()) {
            m_Overran = true;
            return value;
        }
        std::memcpy(&value, m_Data.data() + m_Offset, sizeof(T));
        m_Offset += sizeof(T);
        return value;
    }
    const std::vector<std::uint8_t>& m_Data;
    std::size_t m_Offset = 0;
    bool m_Overran = false;
};

struct ControlSpec {
    std::int32_t id;
    std::u16string kind;  // class name or the predefined class's ordinal
    std::u16string text;
    std::uint32_t style;
    std::int16_t x, y, cx, cy;
};

struct DialogHeader {
    std::uint16_t version, signature;
    std::uint32_t helpId, exStyle, style;
    std::uint16_t controls;
    std::int16_t x, y, cx, cy;
    std::u16string menu, windowClass, title;
    std::uint16_t pointSize, weight;
    std::uint8_t italic, charset;
    std::u16string typeface;
};

DialogHeader ReadHeader(TemplateReader& t)
{
    DialogHeader h{};
    h.version = t.Word();
    h.signature = t.Word();
    h.helpId = t.Dword();
    h.exStyle = t.Dword();
    h.style = t.Dword();
    h.controls = t.Word();
    h.x = t.Short();
    h.y = t.Short();
    h.cx = t.Short();
    h.cy = t.Short();
    h.menu = t.NameOrOrdinal();
    h.windowClass = t.NameOrOrdinal();
    h.title = t.String();
    h.pointSize = t.Word();
    h.weight = t.Word();
    h.italic = t.Byte();
    h.charset = t.Byte();
    h.typeface = t.String();
    return h;
}

// The predefined window classes that templates store as ordinals.
std::u16string ClassName(const std::u16string& stored)
{
    if (stored == u"#128")
        return u"button";
    if (stored == u"#130")
        return u"static";
    std::u16string lower;
    for (char16_t c : stored)
        lower.push_back(c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c);
    return lower;
}

}  // namespace

TEST(DialogTemplate102, HeaderStylesSizeAndFont)
{
    const std::vector<std::uint8_t> data = Resource(RT_DIALOG, IDD_UPDATE_DIALOG);
    ASSERT_FALSE(data.empty());
    TemplateReader t(data);
    const DialogHeader h = ReadHeader(t);
    EXPECT_EQ(h.version, 1);
    EXPECT_EQ(h.signature, 0xFFFF);  // extended template
    EXPECT_EQ(h.helpId, 0u);
    EXPECT_EQ(h.exStyle, static_cast<std::uint32_t>(WS_EX_APPWINDOW));
    EXPECT_EQ(h.style, static_cast<std::uint32_t>(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION |
                                                  WS_SYSMENU));
    EXPECT_EQ(h.controls, 4);
    EXPECT_EQ(h.x, 0);
    EXPECT_EQ(h.y, 0);
    EXPECT_EQ(h.cx, 211);
    EXPECT_EQ(h.cy, 138);
    EXPECT_EQ(h.menu, u"");
    EXPECT_EQ(h.windowClass, u"");  // the standard dialog class
    EXPECT_EQ(h.title, u"s");
    EXPECT_EQ(h.pointSize, 9);
    EXPECT_EQ(h.weight, 0);
    EXPECT_EQ(h.italic, 0);
    EXPECT_EQ(h.charset, 1);
    EXPECT_EQ(h.typeface, u"\x5B8B\x4F53");  // 宋体
    EXPECT_FALSE(t.Overran());
}

TEST(DialogTemplate102, ControlsInOrder)
{
    const ControlSpec expected[] = {
        {IDC_PROGRESS_BAR, u"msctls_progress32", u"", WS_CHILD | WS_VISIBLE | WS_BORDER, 7, 7, 197, 14},
        {IDC_UPDATE_BUTTON, u"button", u"USB_Update", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 7,
         109, 197, 22},
        {IDC_DONE_LABEL, u"static", u"Firmware upgraded!", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_CENTER, 59, 91,
         85, 12},
        {IDC_HINT_LABEL, u"static", u"\x9759\x6001", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT, 7, 25, 197,
         55},  // 静态
    };
    const std::vector<std::uint8_t> data = Resource(RT_DIALOG, IDD_UPDATE_DIALOG);
    ASSERT_FALSE(data.empty());
    TemplateReader t(data);
    ReadHeader(t);
    for (const ControlSpec& c : expected) {
        SCOPED_TRACE(c.id);
        t.AlignDword();
        EXPECT_EQ(t.Dword(), 0u);  // help id
        EXPECT_EQ(t.Dword(), 0u);  // extended style
        EXPECT_EQ(t.Dword(), c.style);
        EXPECT_EQ(t.Short(), c.x);
        EXPECT_EQ(t.Short(), c.y);
        EXPECT_EQ(t.Short(), c.cx);
        EXPECT_EQ(t.Short(), c.cy);
        EXPECT_EQ(static_cast<std::int32_t>(t.Dword()), c.id);
        EXPECT_EQ(ClassName(t.NameOrOrdinal()), c.kind);
        EXPECT_EQ(t.NameOrOrdinal(), c.text);
        EXPECT_EQ(t.Word(), 0);  // no creation data
    }
    EXPECT_FALSE(t.Overran());
}

TEST(AppIcon152, OneImageOf32By32With32BitsAndAlpha)
{
    const std::vector<std::uint8_t> group = Resource(RT_GROUP_ICON, IDI_APP_ICON);
    ASSERT_EQ(group.size(), 6u + 14u);
    EXPECT_EQ(group[2] | group[3] << 8, 1);  // icon
    EXPECT_EQ(group[4] | group[5] << 8, 1);  // one image
    EXPECT_EQ(group[6], 32);                 // width
    EXPECT_EQ(group[7], 32);                 // height
    EXPECT_EQ(group[12] | group[13] << 8, 32);
    const int imageId = group[18] | group[19] << 8;

    const std::vector<std::uint8_t> image = Resource(RT_ICON, imageId);
    ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER) + 32u * 32u * 4u);
    BITMAPINFOHEADER header;
    std::memcpy(&header, image.data(), sizeof header);
    EXPECT_EQ(header.biWidth, 32);
    EXPECT_EQ(header.biHeight, 64);  // colour and mask
    EXPECT_EQ(header.biBitCount, 32);
    int transparent = 0;
    int opaque = 0;
    for (std::size_t pixel = 0; pixel < 32 * 32; ++pixel) {
        const std::uint8_t alpha = image[sizeof header + pixel * 4 + 3];
        transparent += alpha == 0;
        opaque += alpha == 255;
    }
    EXPECT_GT(transparent, 100) << "the corners show what lies beneath";
    EXPECT_GT(opaque, 400);

    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP_ICON));
    EXPECT_NE(icon, nullptr);
}

TEST(Manifest, AsksForCommonControlsSixAndDpiAwareness)
{
    const std::vector<std::uint8_t> data = Resource(RT_MANIFEST, 1);
    const std::string manifest(data.begin(), data.end());
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);
    EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
}
