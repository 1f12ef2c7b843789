#include "cli/terminal_ui.h"

#include <cstdio>

#include "base/utf.h"
#include "engine/update_session.h"

#if !defined(_WIN32)
#include <poll.h>
#endif

std::string MessageLine(const std::u16string& text)
{
    std::string s = Utf16ToUtf8(text);
    const auto first = s.find_first_not_of(" \n");
    const auto last = s.find_last_not_of(" \n");
    return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
}

TerminalUi::TerminalUi(EventOutput& out, std::string controller, std::u16string package, bool autoConfirm)
    : m_Out(out), m_Controller(std::move(controller)), m_Package(std::move(package)), m_AutoConfirm(autoConfirm)
{
}

bool TerminalUi::ChooseFile(const FileOpenRequest&, std::u16string& path)
{
    path = m_Package;
    return true;
}

// Waits for a line on standard input, giving up when a stop is requested so
// an interrupt is not held up by an unanswered question.
bool TerminalUi::AskOnTerminal(const std::string& question)
{
    std::fprintf(stderr, "%s Install it? [y/N] ", question.c_str());
    std::fflush(stderr);
#if !defined(_WIN32)
    pollfd input = {0, POLLIN, 0};
    while (::poll(&input, 1, 100) == 0)
        if (m_Session && m_Session->StopRequested())
            return false;
#endif
    char answer[16] = "";
    if (!std::fgets(answer, sizeof answer, stdin))
        return false;
    return answer[0] == 'y' || answer[0] == 'Y';
}

int TerminalUi::ShowMessage(const std::u16string& text, MessageButtons buttons)
{
    const std::string message = MessageLine(text);
    if (buttons == MessageButtons::OkCancel) {
        if (m_AutoConfirm || m_Out.Json())
            m_Out.Message(m_Controller + ": " + message,
                      {{"event", "confirm"}, {"controller", m_Controller}, {"question", message},
                       {"answer", m_AutoConfirm ? "yes" : "asked"}});
        if (m_AutoConfirm)
            return kIdOk;
        return AskOnTerminal(message) ? kIdOk : kIdCancel;
    }
    // Outcomes reach the terminal from the update's result, not from here.
    return kIdOk;
}

void TerminalUi::SetProgress(int position)
{
    // The dialog resets its bar after success; that is no progress.
    if (!m_Session || position == m_LastPercent || (position == 0 && m_LastPercent > 0))
        return;
    m_LastPercent = position;
    ProgressSample sample;
    sample.percent = position;
    sample.bytes = m_Session->transfer.bytesSent;
    sample.total = m_Session->transfer.imageSize;
    sample.elapsedMs = static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                      std::chrono::steady_clock::now() - m_Start)
                                                      .count());
    m_Out.Progress(m_Controller, sample);
}
