#pragma once
// Starting the Qt dialog: the application object, and one modal run of the
// main dialog over a HID backend.
#include <QApplication>

#include <cstdint>
#include <functional>
#include <memory>

#include "app/package_offer.h"
#include "base/clock.h"
#include "hid/hid_backend.h"

// True when a window system is reachable: DISPLAY or WAYLAND_DISPLAY is set,
// or QT_QPA_PLATFORM names a platform. lookup reads the environment.
bool DisplayAvailable(const std::function<const char*(const char*)>& lookup);

// The QApplication. Its constructor applies the user's locale to the C
// library (setlocale(LC_ALL, "")); numbers go back to the "C" locale so the
// fixed formats always print a decimal point. It carries the application
// icon, in every size of the hicolor theme. UI thread; once per process.
std::unique_ptr<QApplication> CreateApplication(int& argc, char** argv);

// Hands a device event to the dialog (from any thread, without waiting).
using DeviceEventPoster = std::function<void(NotifyWindow window, std::uint32_t event)>;

struct QtRunOptions {
    // Installs the poster as the backend's device-event callback; called
    // with an empty function once the dialog is gone.
    std::function<void(DeviceEventPoster)> setNotifier;
    // Runs once the dialog is initialized, before it shows (may be empty).
    std::function<void()> afterInit;
    // Makes what the dialog offers before its file chooser, asking through
    // the dialog's window (may be empty: no offer, the dialog as always).
    std::function<std::unique_ptr<IPackageOffer>(IOfferAsker& asker)> makeOffer;
};

// Runs the application's one modal dialog until it closes. Needs the
// QApplication. UI thread.
void RunQtDialog(IHidBackend& backend, IClock& clock, const QtRunOptions& options);
