#pragma once
// A package offered before the dialog's file chooser (from a catalogue). A
// dialog without one behaves as it always has.
#include <functional>
#include <string>

class UpdateSession;

enum class OfferAnswer { Install, ChooseFile, Cancel };

struct OfferQuestion {
    std::u16string text;  // the question and the release notes
    std::u16string install, chooseFile, cancel;  // the buttons' words
};

// The question as the window shows it. Any thread: a call from the update
// worker is carried out on the UI thread (as IDialogView's are).
class IOfferAsker {
public:
    virtual ~IOfferAsker() = default;
    // Modal; closing the box is Cancel.
    virtual OfferAnswer AskOffer(const OfferQuestion& question, const std::u16string& caption) = 0;
};

class IPackageOffer {
public:
    virtual ~IPackageOffer() = default;
    // UI thread: a controller is attached; the offer is prepared in the
    // background and never waited for here.
    virtual void ControllerAttached() = 0;
    // The update worker, where the file chooser would open. True with the
    // package's path, and session's options then carry what it is bound to;
    // chooseFile is the dialog's own file chooser.
    virtual bool ChoosePackage(UpdateSession& session, const std::function<bool(std::u16string&)>& chooseFile,
                               std::u16string& path) = 0;
    // Any thread: ends the background work promptly; the dialog is closing.
    virtual void Stop() = 0;
};
