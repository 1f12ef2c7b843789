# What the program is called where it meets a desktop and a package manager:
# the names that the Windows resources, the Qt dialog, the desktop entry, the
# AppStream file and the packages share. Plain set()s: include it wherever
# they are needed.
set(UPDATER_PRODUCT_NAME "Controller Firmware Updater")
set(UPDATER_SUMMARY "Update the firmware of USB game controllers")
# Reverse DNS of the maintainers' (reserved, never resolving) domain
# controller-updater.invalid: the desktop entry, icon and AppStream id.
set(UPDATER_APP_ID "invalid.controller_updater.ControllerUpdater")
set(UPDATER_MAINTAINER "Controller Updater Developers <maintainers@controller-updater.invalid>")
set(UPDATER_DEB_PACKAGE "controller-updater")
# The hicolor theme's sizes the icon is rendered at on Linux (px).
set(UPDATER_ICON_SIZES 16 32 48 64 128 256)
