#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>

namespace quillary {

enum class RunMode { Management, PrintService };

// Management mode unless the first argument after the program path names an
// existing file or directory.
RunMode chooseRunMode(const QStringList& arguments);

// One line per argument, the program path included.
void echoArguments(const QStringList& arguments, std::FILE* out = stdout);

// Removes every setting of the application's own settings domain.
void clearUserDefaults();

// Steps of the process entry that precede the event loop: store start-up,
// store directory, argument echo, user defaults cleared, mode chosen.
RunMode prepareProcess(const QStringList& arguments);

} // namespace quillary
