#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>

namespace quillary {

// NoDocument: the first argument names nothing that could be a document (no
// such path, or a folder); no window opens for it.
enum class RunMode { Management, PrintService, NoDocument };

// Management mode without a first argument after the program path (or an
// empty one); print-service mode when it names anything but a folder (what
// it holds is the preview's to judge); otherwise NoDocument.
RunMode chooseRunMode(const QStringList& arguments);

// For NoDocument: an alert that names the path and the reason, then the
// process ends with status 1 (both through the Ui seam). Call from within
// the event loop.
void refuseDocument(const QString& path);

// One line per argument, the program path included.
void echoArguments(const QStringList& arguments, std::FILE* out = stdout);

// Removes every setting of the application's own settings domain.
void clearUserDefaults();

// Steps of the process entry that precede the event loop: store start-up,
// store directory, argument echo, user defaults cleared, mode chosen.
RunMode prepareProcess(const QStringList& arguments);

} // namespace quillary
