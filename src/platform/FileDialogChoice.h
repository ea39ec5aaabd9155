#pragma once

// Which file dialog the open panel uses on Linux: the desktop's own, through
// the XDG desktop portal, where the desktop offers one; Qt's otherwise.
// Decided before the application object exists, since Qt picks its platform
// theme (which brings the portal's dialog) when that is made.
//
// In order: QUILLARY_FILE_DIALOG=portal or =qt decides; a platform theme the
// user or the desktop set (QT_QPA_PLATFORMTHEME) is left alone; inside a
// Flatpak sandbox the portal is used; otherwise the portal is used when a
// session bus is there, an installed portal backend offers a file chooser
// and Qt's portal theme is installed. The save panel always uses Qt's dialog
// beside its options.

#include <QString>
#include <QStringList>

namespace quillary {

struct FileDialogSetting {
    QString quillaryFileDialog;  // QUILLARY_FILE_DIALOG
    QString platformTheme;       // QT_QPA_PLATFORMTHEME
    bool sandboxed = false;      // /.flatpak-info exists
    bool sessionBus = false;     // DBUS_SESSION_BUS_ADDRESS set, or $XDG_RUNTIME_DIR/bus
    bool portalFileChooser = false; // a portal backend lists org.freedesktop.impl.portal.FileChooser
    bool portalThemeInstalled = false; // Qt's platformthemes/libqxdgdesktopportal.so
};

// Whether the portal's file dialog is to be used.
bool usePortalFileDialog(const FileDialogSetting& setting);

// The setting of this machine and session.
FileDialogSetting currentFileDialogSetting();

// Sets QT_QPA_PLATFORMTHEME=xdgdesktopportal when the portal is to be used.
// Call before the application object is made.
void chooseFileDialog();

} // namespace quillary
