#pragma once
// The update engine's front-end port on the page (web_host.h): title,
// modal messages, progress, the update button, the done label and the
// package chooser.
#include <string>

#include "engine/update_ui.h"

class WebUi final : public IUpdateUi {
public:
    void SetTitle(const std::u16string& title) override;
    int ShowMessage(const std::u16string& text, MessageButtons buttons) override;
    void SetProgress(int position) override;
    void EnableUpdateButton(bool enable) override;
    void ShowDoneLabel() override;
    bool ChooseFile(const FileOpenRequest& request, std::u16string& path) override;
    // The page's packages are the module's files (module_files.h).
    std::u16string CurrentDirectory() override { return u"/"; }

private:
    int m_Progress = -1;
};
