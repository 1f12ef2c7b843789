#pragma once
// The engine's UI port on a headless view, so protocol tests can read what
// a user would see without a dialog.
#include "app/dialog_view.h"
#include "engine/update_ui.h"
#include "text/text_table.h"

class ViewUi final : public IUpdateUi {
public:
    explicit ViewUi(IDialogView& view) : m_View(view) {}
    void SetTitle(const std::u16string& title) override { m_View.SetTitle(title); }
    int ShowMessage(const std::u16string& text, MessageButtons buttons) override
    {
        return m_View.MessageBox(text, LoadText(TextId::Title), buttons);
    }
    void SetProgress(int position) override { m_View.SetProgressPos(position); }
    void EnableUpdateButton(bool enable) override { m_View.EnableControl(kIdUpdateButton, enable); }
    void ShowDoneLabel() override { m_View.ShowControl(kIdDoneLabel, true); }
    bool ChooseFile(const FileOpenRequest& request, std::u16string& path) override
    {
        return m_View.FileOpenDialog(request, path);
    }
    std::u16string CurrentDirectory() override { return m_View.CurrentDirectory(); }

private:
    IDialogView& m_View;
};
