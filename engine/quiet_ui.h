#pragma once
// A front-end port that shows nothing: for reading a controller out.
#include "engine/update_ui.h"

class QuietUi final : public IUpdateUi {
public:
    void SetTitle(const std::u16string&) override {}
    int ShowMessage(const std::u16string&, MessageButtons) override { return kIdCancel; }
    void SetProgress(int) override {}
    void EnableUpdateButton(bool) override {}
    void ShowDoneLabel() override {}
    bool ChooseFile(const FileOpenRequest&, std::u16string&) override { return false; }
    std::u16string CurrentDirectory() override { return {}; }
};
