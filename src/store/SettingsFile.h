#pragma once

// The settings file on disk and the lock that serialises changes to the
// store. Internal to the store; CustomFileManager is its only user.

#include "pdf/Result.h"

#include <QDateTime>
#include <QLockFile>
#include <QString>
#include <QVariantMap>

#include <memory>

namespace quillary::settingsfile {

// No real store comes near this (a template is a few hundred bytes); a file
// this large is refused rather than read into memory.
inline constexpr qint64 kMaxSize = 16 * 1024 * 1024;

// What reading the settings file found.
enum class State {
    Read,     // a property list with a dictionary at its root
    Missing,  // no file (first start, or the store was reset)
    Damaged,  // not a property list, or another root
    TooLarge, // larger than kMaxSize: not read at all
    Unreadable, // there, but not ours to read (permissions, a folder)
};

struct Contents {
    State state = State::Missing;
    QVariantMap dictionary; // only for State::Read
    qint64 size = 0;
    QString reason;         // for the plain line
};

Contents read(const QString& path);

// The dictionary as an XML property list through the atomic writer, readable
// by its owner only.
Result write(const QString& path, const QVariantMap& dictionary);

// Moves the file aside under a name no file has yet:
// path + "." + tag + "-" + yyyyMMdd-HHmmss, with "-1", "-2", ... when taken.
// A rename, never a copy: the bytes stay where they were, however many.
// The new name, or nothing when the file could not be moved.
std::optional<QString> moveAside(const QString& path, const QString& tag, const QDateTime& when);
// A free name of that pattern, for a copy.
QString asideName(const QString& path, const QString& tag, const QDateTime& when);

// The store's lock: one file beside the settings file, held while a change
// reads, edits and writes the settings. Processes wait for each other; a lock
// left by a process that died is taken over.
class Lock {
public:
    explicit Lock(const QString& directory);
    // Waits up to timeoutMs; a failure says who holds the lock.
    Result acquire(int timeoutMs);
    void release();
    static QString fileName(const QString& directory);

private:
    std::unique_ptr<QLockFile> file;
};

} // namespace quillary::settingsfile
