#pragma once
// A dialog view without a window: it records every call and answers message
// boxes and file dialogs from a script. Calls run on the calling thread.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/dialog_view.h"
#include "app/posted_device_changes.h"
#include "base/wake_signal.h"

struct ShownMessage {
    std::u16string text;
    std::u16string caption;
    MessageButtons buttons;
    int result;
};

class HeadlessView final : public IDialogView {
public:
    // Scripted answers, used in order. With none left a message box answers
    // OK and a file dialog is cancelled.
    void QueueMessageAnswer(int result);
    void QueueFile(std::optional<std::u16string> path);  // nullopt = Cancel
    // Runs just before a message box returns (for example to unplug a
    // device while the user reads it). Empty clears it.
    void OnMessageBox(std::function<void(const ShownMessage&)> hook);

    std::vector<ShownMessage> Messages() const;
    std::vector<FileOpenRequest> FileRequests() const;
    std::vector<int> ProgressPositions() const;
    int ProgressPos() const;
    std::pair<std::uint16_t, std::uint16_t> ProgressRange() const;
    std::u16string ControlText(int id) const;
    bool ControlEnabled(int id) const;
    bool ControlVisible(int id) const;
    int IconCalls() const;
    std::vector<std::u16string> Titles() const;
    void SetCurrentDirectory(std::u16string directory);
    // Where posted device changes go while the test thread pumps.
    void SetDeviceChangeTarget(std::function<void(std::uint32_t)> target);

    // IDialogView
    void SetTitle(const std::u16string& title) override;
    std::u16string Title() override;
    void SetControlText(int id, const std::u16string& text) override;
    void EnableControl(int id, bool enable) override;
    void ShowControl(int id, bool show) override;
    void SetProgressRange(std::uint16_t low, std::uint16_t high) override;
    void SetProgressPos(int position) override;
    void SetIcons() override;
    int MessageBox(const std::u16string& text, const std::u16string& caption,
                   MessageButtons buttons) override;
    bool FileOpenDialog(const FileOpenRequest& request, std::u16string& path) override;
    std::u16string CurrentDirectory() override;
    NotifyWindow NotifyTarget() override { return 0x102; }
    void PostDeviceChange(std::uint32_t event) override;
    void PumpUntil(const std::function<bool()>& done) override;
    void WakeUi() override;

private:
    mutable std::mutex m_Mutex;
    WakeSignal m_WakeSignal;
    PostedDeviceChanges m_Posted;
    std::u16string m_Title = u"s";
    std::vector<std::u16string> m_Titles;
    std::map<int, std::u16string> m_Texts;
    std::map<int, bool> m_Enabled;
    std::map<int, bool> m_Visible;
    std::pair<std::uint16_t, std::uint16_t> m_Range{0, 100};
    int m_Pos = 0;
    std::vector<int> m_Positions;
    int m_IconCalls = 0;
    std::deque<int> m_MessageAnswers;
    std::deque<std::optional<std::u16string>> m_Files;
    std::vector<ShownMessage> m_Messages;
    std::vector<FileOpenRequest> m_FileRequests;
    std::function<void(const ShownMessage&)> m_MessageHook;
    std::u16string m_CurrentDirectory = u"/sim";
};
