#pragma once

// Where the print-service entry comes from and where it is installed. The
// entry is what makes printed documents reach Quillary: on macOS a workflow in
// the user's PDF Services folder, elsewhere the per-user agent's autostart
// entry. Everything that installs or removes it asks here, so tests point it
// into a temporary directory.

#include <QString>
#include <QStringList>

#include <functional>

namespace quillary {

struct PrintServiceLocation {
    QString resource; // the entry the application carries (a file, folder or Qt resource)
    QString folder;   // created with intermediate directories before the copy
    QString entry;    // the installed entry: folder + its name
    // Elsewhere than on macOS: where the entry installed for every user may
    // be (each folder of $XDG_CONFIG_DIRS, /etc/xdg by default, + "autostart/"
    // + its name). The user's own entry, when there is one, takes its place.
    QStringList systemEntries = {};
};

// macOS: home + "/Library/PDF Services/" + "open with" (localized) + ".workflow",
// copied from the "printer" workflow bundle among the application's resources.
// Elsewhere: $XDG_CONFIG_HOME/autostart (~/.config/autostart by default) +
// "<bundle identifier>-agent.desktop", copied from the entry among the Qt
// resources; the system-wide entries as above.
PrintServiceLocation printServiceLocation();

// Replaces printServiceLocation() for tests; an empty function restores the
// platform's own.
void injectPrintServiceLocation(std::function<PrintServiceLocation()> location);

} // namespace quillary
