#pragma once

// Which installed programs open a kind of file, found the way the desktop's
// own "open" finds them (freedesktop.org MIME applications): the
// mimeapps.list files of the user and the system, then the mimeinfo.cache
// of every applications folder. Quillary registers itself for PDF files, so
// handing a stamped PDF to "the default application" could start Quillary
// on it again; these functions let the caller pass Quillary over.
//
// The folders come from XDG_CONFIG_HOME, XDG_CONFIG_DIRS, XDG_DATA_HOME and
// XDG_DATA_DIRS (with their standard defaults), read at each call.

#include "platform/Ui.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace quillary {

struct DesktopEntry {
    QString id;   // "org.example.Viewer.desktop"
    QString path; // the .desktop file
    QString name;
    QString exec; // the Exec line as written
};

// Desktop entry ids that handle mimeType, most preferred first, each once:
// the defaults of the mimeapps.list files, their added associations, then
// every mimeinfo.cache; associations a mimeapps.list removes are left out.
QStringList handlerIds(const QString& mimeType);

// The installed, usable entry of that id (not hidden, an application with an
// Exec line), searched in the applications folders in order.
std::optional<DesktopEntry> findDesktopEntry(const QString& id);

// The program call that opens file with entry: its Exec line split as the
// desktop entry format quotes it, %f/%F replaced by the path, %u/%U by its file URL,
// other field codes dropped; the path is appended when the line names none.
std::optional<ProgramCall> launchCommand(const DesktopEntry& entry, const QString& file);

// Whether an entry is Quillary itself: its id is Quillary's or its program
// is a "quillary" executable.
bool isQuillaryEntry(const DesktopEntry& entry);

// The call that opens file with the most preferred installed handler of
// mimeType that is not Quillary; nothing when there is none.
std::optional<ProgramCall> openCommandOtherThanQuillary(const QString& mimeType, const QString& file);

} // namespace quillary
