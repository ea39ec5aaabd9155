#pragma once

// The one writer for every file the core writes: merged outputs, scratch
// files, stored pages, the settings file. The bytes go to a temporary file
// beside the target; only when every write, the flush and the sync to disk
// have succeeded is it renamed over the target. A full disk, a quota or a
// file-size limit therefore never replaces a file with a short one: the
// temporary file is removed and the target stays byte for byte as it was.
//
// The folder is opened once and the file created and renamed relative to it,
// so a name swapped while the bytes are written changes nothing. A symbolic
// link at the target is followed only where the kernel would follow it in a
// shared folder: it belongs to the user running the program, or its folder
// is writable by nobody but that user. A colleague's link planted in a
// folder others can write to is refused, naming the link; nothing is written.

#include "pdf/Result.h"

#include "fs/SafeFs.h"

#include <QByteArray>
#include <QString>

#include <string>

namespace quillary {

class AtomicFile {
public:
    enum class Access {
        // A replaced file keeps its permissions; a new one gets the usual ones
        // (0666 less the umask), or 0600 when its folder is private to its owner.
        Inherit,
        // 0600 whatever was there: the store's own files.
        Private,
    };

    explicit AtomicFile(QString path, Access access = Access::Inherit);
    ~AtomicFile(); // an uncommitted file is discarded
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Follows symbolic links where that is safe (the file they name is
    // replaced, the link stays), refuses a target that is not a regular file
    // (a folder, a device, a pipe: renaming over it would destroy it) and
    // creates the temporary file.
    Result open();
    // Appends bytes. The first failure is kept and reported by commit();
    // later writes do nothing.
    bool write(const char* data, qint64 size);
    bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
    // Flushes, checks the size written, syncs to disk and renames over the
    // target. On failure the temporary file is gone and the target untouched.
    Result commit();
    // Drops what was written; the target stays as it was.
    void discard();

    // The file that will be replaced (links resolved after open()).
    const QString& targetPath() const { return target; }
    // The path as the caller named it.
    const QString& requestedPath() const { return requested; }
    qint64 bytesWritten() const { return written; }

private:
    static constexpr qint64 BufferSize = 256 * 1024;
    Result failWith(int error, const QString& what);
    bool writeBuffer();

    QString requested;
    QString target;
    Access access;
    fs::Fd folder;         // where the target and the temporary file are
    std::string finalName; // the target's name in folder
    std::string scratch;   // the temporary file's name in folder
    fs::Fd file;
    QByteArray buffer; // written in large pieces: QPDFWriter hands over small ones
    qint64 written = 0;
    Result firstError;
    bool committed = false;
};

// Writes bytes to path through an AtomicFile.
Result writeFileAtomically(const QString& path, const QByteArray& bytes,
                           AtomicFile::Access access = AtomicFile::Access::Inherit);

} // namespace quillary
