#pragma once
// The dialog as a console program: every change is printed as a line, message
// boxes are printed and answered (OK when auto-confirming, otherwise asked on
// standard input), and the file dialog answers with a preset package path.
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "app/dialog_view.h"
#include "app/posted_device_changes.h"
#include "base/wake_signal.h"

class ConsoleView final : public IDialogView {
public:
    ConsoleView(std::FILE* out, std::u16string packagePath, bool autoConfirm);

    bool Succeeded() const;

    void SetTitle(const std::u16string& title) override;
    std::u16string Title() override;
    void SetControlText(int id, const std::u16string& text) override;
    void EnableControl(int id, bool enable) override;
    void ShowControl(int id, bool show) override;
    void SetProgressRange(std::uint16_t low, std::uint16_t high) override;
    void SetProgressPos(int position) override;
    void SetIcons() override {}
    int MessageBox(const std::u16string& text, const std::u16string& caption,
                   MessageButtons buttons) override;
    bool FileOpenDialog(const FileOpenRequest& request, std::u16string& path) override;
    std::u16string CurrentDirectory() override;
    NotifyWindow NotifyTarget() override { return 1; }
    void PostDeviceChange(std::uint32_t event) override;
    // Delivers posted device changes to target while it serves the UI.
    void SetDeviceChangeTarget(std::function<void(std::uint32_t)> target);
    void PumpUntil(const std::function<bool()>& done) override;
    void WakeUi() override;

    bool ButtonEnabled() const;

private:
    void Print(const std::string& line);
    void Print(const std::string& tag, const std::string& text);

    mutable std::mutex m_Mutex;
    WakeSignal m_WakeSignal;
    PostedDeviceChanges m_Posted;
    std::FILE* m_Out;
    std::u16string m_PackagePath;
    bool m_AutoConfirm;
    std::u16string m_Title;
    std::map<int, bool> m_Enabled;
    std::map<int, std::u16string> m_Texts;
    bool m_DoneShown = false;
    int m_LastPos = -1;
};
