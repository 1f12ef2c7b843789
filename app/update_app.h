#pragma once
// The application object: one modal main dialog, and the program ends when
// it closes.
#include <functional>

#include "base/clock.h"
#include "app/dialog_view.h"
#include "app/update_dlg.h"
#include "hid/hid_backend.h"

class CUpdateApp {
public:
    // runModal shows the dialog window for dlg and returns when it has closed.
    using ModalRunner = std::function<void(CUpdateDlg& dlg)>;

    // offer: what the dialog asks before its file chooser (none: nothing).
    CUpdateApp(IHidBackend& backend, IDialogView& view, IClock& clock, ModalRunner runModal,
               IPackageOffer* offer = nullptr);

    // Constructs the dialog, runs it modally and destroys it. Returns false:
    // the application ends with its dialog.
    bool InitInstance();

private:
    IHidBackend& m_Backend;
    IDialogView& m_View;
    IClock& m_Clock;
    ModalRunner m_RunModal;
    IPackageOffer* m_Offer;
};
