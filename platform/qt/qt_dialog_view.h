#pragma once
// The main dialog as a Qt Widgets window laid out like dialog template 102:
// progress bar 1003, update button 1007, the centred success static -1 and
// the instructions static 1008.
//
// Threads: the view lives on the UI thread (the QApplication's). A call from
// any other thread (the update worker) is queued to the UI thread and waits
// there until it is done, returning its result, as SendMessage does; so the
// UI thread must keep serving events while a worker runs (it does: it is in
// exec() or in PumpUntil), and the view must outlive every worker.
#include <QDialog>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/dialog_view.h"
#include "app/package_offer.h"

class CUpdateDlg;
class QEventLoop;
class QLabel;
class QProgressBar;
class QPushButton;

class QtDialogView final : public QDialog, public IDialogView, public IOfferAsker {
public:
    explicit QtDialogView(QWidget* parent = nullptr);
    ~QtDialogView() override;

    // UI thread. Attaches dlg, runs its initialization, then afterInit (may
    // be empty), shows the window and returns when it has closed.
    void RunModal(CUpdateDlg& dlg, const std::function<void()>& afterInit = {});
    // UI thread. Routes the button, closing and device events to dlg (nullptr:
    // none; closing is then allowed at once).
    void Attach(CUpdateDlg* dlg);
    // Any thread; does not wait. The event reaches the attached dialog's
    // OnDeviceChange on the UI thread; with none attached it is dropped.
    void PostDeviceChange(std::uint32_t event) override;

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
    NotifyWindow NotifyTarget() override;
    void PumpUntil(const std::function<bool()>& done) override;
    void WakeUi() override;

    // IOfferAsker: a message box with the three buttons.
    OfferAnswer AskOffer(const OfferQuestion& question, const std::u16string& caption) override;

    // Esc and the close box come here: the attached dialog decides.
    void reject() override;
    void accept() override;

private:
    void BuildControls();
    QWidget* Control(int id) const;
    // Runs work on the UI thread and waits for it.
    void OnUiThread(const std::function<void()>& work);
    // Queues work for the UI thread and returns at once.
    void PostToUiThread(std::function<void()> work);
    // Esc, the close box or Enter: asks the attached dialog once.
    bool CloseAllowed();

    QProgressBar* m_ProgressBar = nullptr;
    QPushButton* m_UpdateButton = nullptr;
    QLabel* m_DoneLabel = nullptr;
    QLabel* m_HintLabel = nullptr;
    // UI thread only:
    CUpdateDlg* m_Dialog = nullptr;
    // A close request is being answered (its question or the join of the
    // stopped worker runs a nested loop) or has ended the window: further
    // requests and clicks are ignored.
    bool m_Closing = false;
    std::u16string m_Title;
    std::vector<QEventLoop*> m_PumpLoops;
    char m_Handoff = 0;  // names the hand-over between threads for the race checker
};
