#include "offer/offer_texts.h"

const std::array<TextPair, kOfferTextCount> OfferTextTable = {{
    {u"固件 %s 可供安装（此控制器运行 %s）。是否安装？",
     u"Firmware %s is available (this controller runs %s). Install it?"},
    {u"固件 %s 可供安装。是否安装？", u"Firmware %s is available. Install it?"},
    {u"安装", u"Install"},
    {u"选择文件", u"Choose a file"},
    {u"取消", u"Cancel"},
    {u"固件目录的签名不可信，不提供其中的固件。",
     u"The catalogue's signature is not trusted, so its package is not offered."},
    {u"固件目录已过期，或比以前见过的旧，不提供其中的固件。",
     u"The catalogue has expired or is older than one seen before, so its package is not offered."},
    {u"无法读取固件目录。", u"The catalogue cannot be read."},
    {u"下载的固件与目录不符，未安装。", u"The downloaded package does not match the catalogue; it is not installed."},
    {u"无法下载固件。", u"The package cannot be downloaded."},
    {u"目录中的固件不适用于此控制器。", u"The catalogue's package is meant for other controllers than this one."},
    {u"请改为选择固件文件。", u"Choose a package file instead."},
}};

std::u16string LoadOfferText(OfferText id)
{
    const TextPair& pair = OfferTextTable[static_cast<std::size_t>(id)];
    return std::u16string(ChineseUi() ? pair.zh : pair.en);
}
