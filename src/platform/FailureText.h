#pragma once

// What a window tells the user when the store or the engine failed.
//
// The core explains a failure in one English line for standard output and
// scripts ("<file>: <reason>"); a window shows one sentence in the user's
// language instead, chosen by the failure's code, that names the file by its
// name. The core's line is only searched for the file it is about, never
// shown.

#include "pdf/Result.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

namespace quillary {

class FailureText {
    Q_DECLARE_TR_FUNCTIONS(FailureText)

public:
    // The sentence for code about file (a path, shown by its file name), or
    // the sentence that names no file when file is empty.
    static QString sentence(ErrorCode code, const QString& file = QString());

    // The sentence for result, naming the one of knownFiles (the files the
    // window works with, as it handed them to the core) that the core's line
    // is about. A line about none of them (a scratch file, a folder the user
    // never saw) gives the sentence without a file.
    static QString sentence(const Result& result, const QStringList& knownFiles);

    // The one of knownFiles the core's line names first (the longest where
    // two start at the same place); empty when it names none.
    static QString fileOf(const Result& result, const QStringList& knownFiles);

    // How a path is shown in a sentence: its file name, or the whole path
    // when it has none (a folder given with a trailing slash).
    static QString shownName(const QString& path);
};

} // namespace quillary
