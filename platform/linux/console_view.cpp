#include "platform/linux/console_view.h"

#include <unistd.h>

#include <iostream>

#include "text/wformat.h"

namespace {
// Message texts carry CR LF pairs; a terminal wants plain line feeds.
std::string ForTerminal(const std::u16string& text)
{
    std::string out;
    for (char c : Utf16ToUtf8(text))
        if (c != '\r')
            out.push_back(c);
    return out;
}
}  // namespace

ConsoleView::ConsoleView(std::FILE* out, std::u16string packagePath, bool autoConfirm)
    : m_Out(out), m_PackagePath(std::move(packagePath)), m_AutoConfirm(autoConfirm)
{
}

void ConsoleView::Print(const std::string& line)
{
    std::fprintf(m_Out, "%s\n", line.c_str());
    std::fflush(m_Out);
}

void ConsoleView::Print(const std::string& tag, const std::string& text)
{
    std::fprintf(m_Out, "[%s] %s\n", tag.c_str(), text.c_str());
    std::fflush(m_Out);
}

bool ConsoleView::Succeeded() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_DoneShown;
}

bool ConsoleView::ButtonEnabled() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    auto it = m_Enabled.find(kIdUpdateButton);
    return it != m_Enabled.end() && it->second;
}

void ConsoleView::SetTitle(const std::u16string& title)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    if (title != m_Title)
        Print("title", Utf16ToUtf8(title));
    m_Title = title;
}

std::u16string ConsoleView::Title()
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Title;
}

void ConsoleView::SetControlText(int id, const std::u16string& text)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Texts[id] = text;
    if (id == kIdHintLabel)
        Print(ForTerminal(text));
}

void ConsoleView::EnableControl(int id, bool enable)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    if (id == kIdUpdateButton && m_Enabled[id] != enable)
        Print("button", Utf16ToUtf8(m_Texts[id]).append(enable ? " enabled" : " disabled"));
    m_Enabled[id] = enable;
}

void ConsoleView::ShowControl(int id, bool show)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    if (id == kIdDoneLabel && show) {
        m_DoneShown = true;
        Print("done", Utf16ToUtf8(m_Texts[id]));
    }
}

void ConsoleView::SetProgressRange(std::uint16_t, std::uint16_t) {}

void ConsoleView::SetProgressPos(int position)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    // One line per ten percent keeps a long transfer readable.
    if (position / 10 != m_LastPos / 10 || (position == 0 && m_LastPos != 0))
        Print("progress", std::to_string(position) + "%");
    m_LastPos = position;
}

int ConsoleView::MessageBox(const std::u16string& text, const std::u16string& caption,
                            MessageButtons buttons)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    Print(Utf16ToUtf8(caption), ForTerminal(text));
    if (buttons == MessageButtons::Ok)
        return kIdOk;
    if (m_AutoConfirm) {
        Print("  -> OK");
        return kIdOk;
    }
    std::fprintf(m_Out, "  OK? [y/N] ");
    std::fflush(m_Out);
    std::string answer;
    if (!std::getline(std::cin, answer))
        return kIdCancel;
    return (answer == "y" || answer == "Y" || answer == "yes") ? kIdOk : kIdCancel;
}

bool ConsoleView::FileOpenDialog(const FileOpenRequest&, std::u16string& path)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    if (m_PackagePath.empty()) {
        Print("file", "no package given");
        return false;
    }
    Print("file", Utf16ToUtf8(m_PackagePath));
    path = m_PackagePath;
    return true;
}

std::u16string ConsoleView::CurrentDirectory()
{
    char buffer[4096];
    if (!::getcwd(buffer, sizeof buffer))
        return u"";
    return Utf8ToUtf16(buffer);
}

void ConsoleView::PostDeviceChange(std::uint32_t event)
{
    m_Posted.Post(event);
    m_WakeSignal.Wake();
}

void ConsoleView::SetDeviceChangeTarget(std::function<void(std::uint32_t)> target)
{
    m_Posted.SetTarget(std::move(target));
}

void ConsoleView::PumpUntil(const std::function<bool()>& done)
{
    m_WakeSignal.WaitUntil([&] {
        m_Posted.Deliver();
        return done();
    });
}

void ConsoleView::WakeUi() { m_WakeSignal.Wake(); }
