#include "platform/qt/qt_front_end.h"

#include <QIcon>
#include <QSize>
#include <QString>

#include <clocale>

#include "app/update_app.h"
#include "platform/qt/qt_dialog_view.h"

bool DisplayAvailable(const std::function<const char*(const char*)>& lookup)
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = lookup(name);
        if (value && *value)
            return true;
    }
    return false;
}

std::unique_ptr<QApplication> CreateApplication(int& argc, char** argv)
{
    auto application = std::make_unique<QApplication>(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    // The icon of every window (the dialog takes it in SetIcons), rendered
    // at build time from res/app_icon.svg like the Windows icon; the desktop
    // entry names the same one for the window lists of Wayland desktops.
    QIcon icon;
    for (int size : {UPDATER_ICON_SIZES})
        icon.addFile(QStringLiteral(":/app_icon/%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    QGuiApplication::setDesktopFileName(QStringLiteral(UPDATER_APP_ID));
    return application;
}

void RunQtDialog(IHidBackend& backend, IClock& clock, const QtRunOptions& options)
{
    QtDialogView view;
    if (options.setNotifier) {
        options.setNotifier([&view](NotifyWindow window, std::uint32_t event) {
            if (window == view.NotifyTarget())
                view.PostDeviceChange(event);
        });
    }
    const std::unique_ptr<IPackageOffer> offer = options.makeOffer ? options.makeOffer(view) : nullptr;
    CUpdateApp application(backend, view, clock,
                           [&](CUpdateDlg& dlg) { view.RunModal(dlg, options.afterInit); }, offer.get());
    application.InitInstance();
    if (options.setNotifier)
        options.setNotifier({});
}
