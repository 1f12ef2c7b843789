#pragma once
// What the update engine asks of a front end: the dialog, the command line.
//
// Threads: the engine calls these on the thread that runs its step (the UI
// thread while a controller is attached, the update worker during an
// update). Each call returns when its effect is done; a question returns the
// user's answer. Nothing here may call back into the session.
#include <cstdint>
#include <string>

// Message box buttons and results (the platform's values).
enum class MessageButtons { Ok, OkCancel };
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// The file-open dialog's parameters, as the platform's common dialog takes them.
struct FileOpenRequest {
    std::u16string filter;            // "label(*.dat)|*.dat||" form
    std::u16string defaultExtension;  // "*.*"
    std::u16string initialFileName;   // empty
    std::uint32_t flags = 0;          // OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT
    std::u16string initialDirectory;  // may be empty: the platform's default
};

class IUpdateUi {
public:
    virtual ~IUpdateUi() = default;

    virtual void SetTitle(const std::u16string& title) = 0;
    // A modal message with the product's caption; kIdOk or kIdCancel.
    virtual int ShowMessage(const std::u16string& text, MessageButtons buttons) = 0;
    // Position 0..100 of the progress bar.
    virtual void SetProgress(int position) = 0;
    virtual void EnableUpdateButton(bool enable) = 0;
    // The "done" label under the progress bar.
    virtual void ShowDoneLabel() = 0;
    // The file chooser. True with the full path when the user chose one.
    virtual bool ChooseFile(const FileOpenRequest& request, std::u16string& path) = 0;
    // Where the file chooser starts when the engine names no folder.
    virtual std::u16string CurrentDirectory() = 0;
};
