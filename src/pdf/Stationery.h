#pragma once

// Stationery read once for a run of many merges (a batch of documents, a
// watched folder), instead of once per document.
//
// What may be shared between threads: qpdf's objects resolve lazily from
// their file and are changed when a page is drawn as a form, so a parsed
// stationery file belongs to one thread. Its bytes never change once read:
// one StationeryFiles serves every thread, and each thread keeps its own
// parsed copies in a StationeryCache.

#include "pdf/Result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>

namespace quillary {

class PdfSource;

// The bytes of stationery files, read whole and checked once. Immutable after
// read(): any number of threads may use one instance at the same time.
class StationeryFiles {
public:
    // Reads each file and checks that its page 1 can be drawn. Fails with the
    // first file that is missing, unreadable, not a PDF or without a page
    // (the reason names the file); an empty list gives an empty set.
    static ValueResult<std::shared_ptr<const StationeryFiles>> read(const QStringList& paths);
    // Bytes the caller read itself (a letterhead queue's folder, opened the
    // safe way), kept under the names given. Not parsed here: a damaged file
    // fails the merge that draws it.
    static std::shared_ptr<const StationeryFiles> of(std::map<QString, QByteArray> files);

    // The bytes read for path (as it was given to read); null for another path.
    const QByteArray* bytes(const QString& path) const;
    QStringList paths() const;
    // Bytes held, all files together.
    qint64 size() const;
private:
    std::map<QString, QByteArray> files;
};

// One thread's parsed stationery: each file is parsed from the shared bytes
// on first use, made fit for PDF/A outputs (StationeryNormaliser.h) and kept, so every later merge on this thread copies its
// objects without parsing it again. A file drawn as two kinds of page (start
// and continuation) is parsed once and stored once in each output. One
// thread at a time.
class StationeryCache {
public:
    // What is done to a file once it is parsed.
    enum class Preparation {
        Mend,     // normalised (and its content compressed) for many outputs
        AsStored, // drawn as it is: normalised when it was stored, and a
                  // single print job cannot spend the time to mend it again
    };
    explicit StationeryCache(std::shared_ptr<const StationeryFiles> files = {},
                             Preparation preparation = Preparation::Mend);
    ~StationeryCache();
    StationeryCache(const StationeryCache&) = delete;
    StationeryCache& operator=(const StationeryCache&) = delete;

    // Drops the parsed copies when files differ from those held (a template
    // that changed during a run).
    void use(std::shared_ptr<const StationeryFiles> files);
    const std::shared_ptr<const StationeryFiles>& files() const { return shared; }

    // Page 1 of the stationery file at path, parsed once; a path the shared
    // files do not hold is opened from disk (and not kept). Null, with the
    // reason in *error, when it cannot be used.
    std::shared_ptr<PdfSource> open(const QString& path, Result* error);

private:
    std::shared_ptr<const StationeryFiles> shared;
    Preparation preparation;
    std::map<QString, std::shared_ptr<PdfSource>> sources;
};

} // namespace quillary
