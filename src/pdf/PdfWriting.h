#pragma once

// Writing a QPDF document out: to a file through AtomicFile, or into memory.
// Internal to quillary_core.

#include "pdf/Result.h"
#include "pdf/TaskManager.h"

#include <QByteArray>
#include <QString>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>

#include <functional>
#include <map>

class QPDFWriter;

namespace quillary {

// One name object per document for names set on every page: a thousand
// copies of /XObject cost more memory than the page's own data.
QPDFObjectHandle sharedName(std::map<std::string, QPDFObjectHandle>& names, const std::string& name);

// Copies objects from one document into another. Unlike
// QPDF::copyForeignObject it never reads the source's page list (which for
// a file of a hundred thousand pages costs seconds and a hundred MB), and it
// never copies a page or page tree node that the copied object refers to: a
// reference to one becomes null.
// Stream data is copied as stored, when the destination is written: keep the
// source document alive until then. One copier per source and destination;
// an object copied twice is copied once.
class SharedStreams;
class ObjectCopier {
public:
    // With shared, a stream whose bytes and dictionary equal one that another
    // copier into the same destination copied already is not copied again.
    explicit ObjectCopier(QPDF& destination, SharedStreams* shared = nullptr)
        : destination(destination), shared(shared) {}
    QPDFObjectHandle copy(QPDFObjectHandle foreign);

private:
    QPDFObjectHandle copyDirect(QPDFObjectHandle foreign, int depth);
    QPDFObjectHandle copyContainer(QPDFObjectHandle foreign, int depth);
    QPDFObjectHandle copySharedStream(QPDFObjectHandle foreign);

    QPDF& destination;
    SharedStreams* shared;
    std::map<QPDFObjGen, QPDFObjectHandle> copied;
};

// Streams copied into one destination, by content: stationery files that
// each carry the same font program or colour profile (start, continuation
// and terms pages made from one design) store it once in the output, which
// every reader of the output, a print chain's next filter too, then reads
// once. Only streams worth it take part: a few kilobytes or more, with a
// dictionary of direct values (font programs, profiles, plain images).
class SharedStreams {
public:
    // The copy of a stream with this dictionary (its unparsed text, /Length
    // left out) and these raw bytes, or null.
    QPDFObjectHandle find(const std::string& dictionary, const std::shared_ptr<Buffer>& data) const;
    void add(const std::string& dictionary, std::shared_ptr<Buffer> data, QPDFObjectHandle copy);

    static constexpr size_t MinimumBytes = 4096;
    static constexpr size_t MaximumBytes = size_t(64) << 20;

private:
    struct Entry {
        std::string dictionary;
        std::shared_ptr<Buffer> data;
        QPDFObjectHandle copy;
    };
    static size_t hashOf(const std::shared_ptr<Buffer>& data);
    std::multimap<size_t, Entry> entries; // by a hash of the bytes
};

// Sets up a writer before it writes (encryption, object streams, ...).
using WriterSetup = std::function<void(QPDFWriter&)>;

// Writes pdf to destination through an AtomicFile: an existing destination is
// only ever replaced by a complete file, and a failed, short or stopped write
// leaves no temporary file behind. control's progress hears the writer's
// percentages; its stop flag is looked at on every progress step and every
// block written, and a stopped write returns ErrorCode::Cancelled. qpdf's own
// exceptions (a damaged object met while writing) pass through to the caller.
Result writePdfAtomically(QPDF& pdf, const QString& destination, const WriterSetup& setup = {},
                          const MergeControl& control = {});

// The same into memory. description names the output in messages.
ValueResult<QByteArray> writePdfToBytes(QPDF& pdf, const QString& description, const WriterSetup& setup = {},
                                        const MergeControl& control = {});

// The same into sink, block by block as the writer produces them. A sink
// that says false ends the write with ErrorCode::WriteFailed; what it took
// by then is a part of a file, for the sink to throw away.
Result writePdfToSink(QPDF& pdf, const QString& description, const OutputSink& sink, const WriterSetup& setup = {},
                      const MergeControl& control = {});

} // namespace quillary
