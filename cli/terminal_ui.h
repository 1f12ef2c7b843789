#pragma once
// The engine's front-end port on a terminal: the chooser answers with the
// package named on the command line, the confirmation is asked on the
// terminal (or answered by --yes), progress goes to the event output.
#include <chrono>
#include <string>

#include "cli/event_output.h"
#include "engine/update_ui.h"

class UpdateSession;

// A message as one terminal line: without the blanks and line ends that
// frame it in a message box.
std::string MessageLine(const std::u16string& text);

class TerminalUi final : public IUpdateUi {
public:
    TerminalUi(EventOutput& out, std::string controller, std::u16string package, bool autoConfirm);

    // The session whose transfer the progress reads; set before it runs.
    void Watch(const UpdateSession* session) { m_Session = session; }

    void SetTitle(const std::u16string&) override {}
    int ShowMessage(const std::u16string& text, MessageButtons buttons) override;
    void SetProgress(int position) override;
    void EnableUpdateButton(bool) override {}
    void ShowDoneLabel() override {}
    bool ChooseFile(const FileOpenRequest& request, std::u16string& path) override;
    std::u16string CurrentDirectory() override { return {}; }

private:
    bool AskOnTerminal(const std::string& question);

    EventOutput& m_Out;
    std::string m_Controller;
    std::u16string m_Package;
    bool m_AutoConfirm;
    const UpdateSession* m_Session = nullptr;
    int m_LastPercent = -1;
    std::chrono::steady_clock::time_point m_Start = std::chrono::steady_clock::now();
};
