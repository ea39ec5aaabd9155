#include "platform/FileDialogChoice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>

namespace quillary {

bool usePortalFileDialog(const FileDialogSetting& setting)
{
    if (setting.quillaryFileDialog == QLatin1String("portal"))
        return true;
    if (setting.quillaryFileDialog == QLatin1String("qt"))
        return false;
    if (!setting.platformTheme.isEmpty())
        return false;
    if (!setting.portalThemeInstalled)
        return false;
    if (setting.sandboxed)
        return true;
    return setting.sessionBus && setting.portalFileChooser;
}

namespace {

bool portalBackendOffersFileChooser()
{
    // Each installed backend ("gtk", "kde", "gnome", ...) lists what it offers.
    const QDir portals(QStringLiteral("/usr/share/xdg-desktop-portal/portals"));
    for (const QFileInfo& file : portals.entryInfoList({QStringLiteral("*.portal")}, QDir::Files)) {
        if (file.size() > 64 * 1024)
            continue;
        QFile portal(file.absoluteFilePath());
        if (portal.open(QIODevice::ReadOnly)
            && portal.read(64 * 1024).contains("org.freedesktop.impl.portal.FileChooser"))
            return true;
    }
    return false;
}

} // namespace

FileDialogSetting currentFileDialogSetting()
{
    FileDialogSetting setting;
    setting.quillaryFileDialog = qEnvironmentVariable("QUILLARY_FILE_DIALOG").trimmed().toLower();
    setting.platformTheme = qEnvironmentVariable("QT_QPA_PLATFORMTHEME");
    setting.sandboxed = QFileInfo::exists(QStringLiteral("/.flatpak-info"));
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    setting.sessionBus = !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")
                         || (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")));
    setting.portalFileChooser = portalBackendOffersFileChooser();
    setting.portalThemeInstalled =
        QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::PluginsPath)
                          + QStringLiteral("/platformthemes/libqxdgdesktopportal.so"));
    return setting;
}

void chooseFileDialog()
{
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    if (usePortalFileDialog(currentFileDialogSetting()))
        qputenv("QT_QPA_PLATFORMTHEME", "xdgdesktopportal");
#endif
}

} // namespace quillary
