#include "platform/web/web_ui.h"

#include "base/utf.h"
#include "platform/web/web_host.h"
#include "text/text_table.h"

namespace {
constexpr int kPathCapacity = 512;
}

void WebUi::SetTitle(const std::u16string& title) { web_ui_title(Utf16ToUtf8(title).c_str()); }

int WebUi::ShowMessage(const std::u16string& text, MessageButtons buttons)
{
    const int answer = web_ui_message(Utf16ToUtf8(text).c_str(),
                                      Utf16ToUtf8(LoadText(TextId::Title)).c_str(),
                                      buttons == MessageButtons::OkCancel ? 1 : 0);
    return answer == kIdOk ? kIdOk : kIdCancel;
}

void WebUi::SetProgress(int position)
{
    if (position == m_Progress)
        return;
    m_Progress = position;
    web_ui_progress(position);
}

void WebUi::EnableUpdateButton(bool enable) { web_ui_enable_update(enable ? 1 : 0); }

void WebUi::ShowDoneLabel()
{
    web_ui_done_label();
}

bool WebUi::ChooseFile(const FileOpenRequest& request, std::u16string& path)
{
    // The filter's label is what the page shows; "label(*.dat)|*.dat||".
    const std::u16string label = request.filter.substr(0, request.filter.find(u'|'));
    char chosen[kPathCapacity] = {};
    if (!web_ui_choose_file(Utf16ToUtf8(label).c_str(), chosen, kPathCapacity))
        return false;
    path = Utf8ToUtf16(chosen);
    return true;
}
