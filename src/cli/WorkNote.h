#pragma once

// The notes a watch keeps in IN_DIR of the documents it is reading, so that a
// process that dies on a document (a fault in the reader, the kernel's
// out-of-memory killer, SIGKILL) is known at the next start and does not
// start into the same document for ever.
//
// One note per document in hand: ".quillary-working-" and sixteen hex digits
// of the SHA-256 of the document's name. Its name follows from the document,
// so a retry replaces the very note that recorded the earlier start (there is
// no moment without one), the end of a document removes exactly its note, a
// restart with another --jobs finds them all, and each note holds one name
// and stays under kMostNoteBytes. A note is a small JSON object: the
// document's name, how often a watch began reading it, and the file as it was
// then (inode, size, time stamp), so that another file put there under that
// name later is not taken for it.
//
// Notes are written as a hidden temporary file renamed over the note, in the
// folder held open, and are not synced: they guard against the death of the
// process, not of the machine (after a power cut a document is at worst tried
// once more). The leading dot keeps the watch's own scan and copying programs
// away from them.

#include "cli/StampWorkers.h"
#include "fs/SafeFs.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>

#include <sys/stat.h>

namespace quillary::cli {

// What says that a file changed, or is another file: a new file renamed over
// a name keeps neither its inode nor, usually, its time stamp.
struct FileStamp {
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
FileStamp stampFrom(const struct stat& info);

// A document named in a note.
struct NotedDocument {
    QString name;   // a regular file directly in IN_DIR
    int starts = 0; // how often a watch began reading it
    FileStamp file; // the file as it was then
};

constexpr qsizetype kMostNoteBytes = 4096;

class WorkNotes {
public:
    // shownFolder: IN_DIR as messages name it.
    explicit WorkNotes(const QString& shownFolder);

    // Works in this folder from now on (a descriptor of its own is kept).
    void hold(int inbox);

    // The notes left by a watch that did not end cleanly. Anything that is
    // not this user's own regular file of at most kMostNoteBytes is left
    // alone; an own note that is no note (garbage, another format) or names
    // no regular file directly in IN_DIR (a path, "..", a hidden or missing
    // file) is removed. The file named must still be the one noted; one
    // changed since is taken as new and its note removed. Everything not
    // taken is told in *told.
    QList<NotedDocument> takeLeftovers(uid_t me, QStringList* told);

    // Before a document is read: its note says so, with its starts. Safe
    // from any thread; a note that cannot be written is told once (see
    // takeTold) and the document is read all the same.
    void write(const NotedDocument& document);
    // Its note removed: done, failed, stopped cleanly or gone.
    void remove(const QString& name);
    // Failures to write or remove notes since the last call.
    QStringList takeTold();

    // For the workers: a document is noted before it is read (with one start
    // more than its job's startedBefore) and its note removed after; a stop
    // that abandons a retried document puts back what the note said, since
    // a stop asked for is no death.
    StampWorkers::Hooks keeping();

    static QString noteName(const QString& document);

private:
    QString shown(const QString& name) const;
    // The folder held; workers write and remove their notes through it
    // without holding the lock, each under a name of its own.
    std::shared_ptr<const fs::Fd> held();

    const QString shownFolder;
    std::mutex mutex; // for folder (swapped when the inbox is held anew) and what is to be told
    std::shared_ptr<const fs::Fd> folder;
    QStringList told;
    // Told once each: a planted file under a note's name in a sticky folder
    // would otherwise be told for every document of that name.
    bool writeFailed = false;
    bool removeFailed = false;
};

} // namespace quillary::cli
