#include "support/headless_view.h"

void HeadlessView::QueueMessageAnswer(int result)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_MessageAnswers.push_back(result);
}

void HeadlessView::QueueFile(std::optional<std::u16string> path)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Files.push_back(std::move(path));
}

void HeadlessView::OnMessageBox(std::function<void(const ShownMessage&)> hook)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_MessageHook = std::move(hook);
}

std::vector<ShownMessage> HeadlessView::Messages() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Messages;
}

std::vector<FileOpenRequest> HeadlessView::FileRequests() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_FileRequests;
}

std::vector<int> HeadlessView::ProgressPositions() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Positions;
}

int HeadlessView::ProgressPos() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Pos;
}

std::pair<std::uint16_t, std::uint16_t> HeadlessView::ProgressRange() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Range;
}

std::u16string HeadlessView::ControlText(int id) const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    auto it = m_Texts.find(id);
    return it == m_Texts.end() ? std::u16string() : it->second;
}

bool HeadlessView::ControlEnabled(int id) const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    auto it = m_Enabled.find(id);
    return it == m_Enabled.end() || it->second;
}

bool HeadlessView::ControlVisible(int id) const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    auto it = m_Visible.find(id);
    return it == m_Visible.end() || it->second;
}

int HeadlessView::IconCalls() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_IconCalls;
}

std::vector<std::u16string> HeadlessView::Titles() const
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Titles;
}

void HeadlessView::SetCurrentDirectory(std::u16string directory)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_CurrentDirectory = std::move(directory);
}

void HeadlessView::SetTitle(const std::u16string& title)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Title = title;
    m_Titles.push_back(title);
}

std::u16string HeadlessView::Title()
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_Title;
}

void HeadlessView::SetControlText(int id, const std::u16string& text)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Texts[id] = text;
}

void HeadlessView::EnableControl(int id, bool enable)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Enabled[id] = enable;
}

void HeadlessView::ShowControl(int id, bool show)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Visible[id] = show;
}

void HeadlessView::SetProgressRange(std::uint16_t low, std::uint16_t high)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Range = {low, high};
}

void HeadlessView::SetProgressPos(int position)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_Pos = position;
    m_Positions.push_back(position);
}

void HeadlessView::SetIcons()
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    ++m_IconCalls;
}

int HeadlessView::MessageBox(const std::u16string& text, const std::u16string& caption,
                             MessageButtons buttons)
{
    std::function<void(const ShownMessage&)> hook;
    ShownMessage shown{text, caption, buttons, kIdOk};
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        if (!m_MessageAnswers.empty()) {
            shown.result = m_MessageAnswers.front();
            m_MessageAnswers.pop_front();
        }
        if (buttons == MessageButtons::Ok)
            shown.result = kIdOk;
        m_Messages.push_back(shown);
        hook = m_MessageHook;
    }
    if (hook)
        hook(shown);
    return shown.result;
}

bool HeadlessView::FileOpenDialog(const FileOpenRequest& request, std::u16string& path)
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    m_FileRequests.push_back(request);
    if (m_Files.empty() || !m_Files.front()) {
        if (!m_Files.empty())
            m_Files.pop_front();
        return false;
    }
    path = *m_Files.front();
    m_Files.pop_front();
    return true;
}

std::u16string HeadlessView::CurrentDirectory()
{
    std::lock_guard<std::mutex> guard(m_Mutex);
    return m_CurrentDirectory;
}

void HeadlessView::SetDeviceChangeTarget(std::function<void(std::uint32_t)> target)
{
    m_Posted.SetTarget(std::move(target));
}

void HeadlessView::PostDeviceChange(std::uint32_t event)
{
    m_Posted.Post(event);
    m_WakeSignal.Wake();
}

void HeadlessView::PumpUntil(const std::function<bool()>& done)
{
    m_WakeSignal.WaitUntil([&] {
        m_Posted.Deliver();
        return done();
    });
}

void HeadlessView::WakeUi() { m_WakeSignal.Wake(); }
