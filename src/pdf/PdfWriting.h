#pragma once

// Writing a QPDF document out: to a file through AtomicFile, or into memory.
// Internal to quillary_core.

#include "pdf/Result.h"
#include "pdf/TaskManager.h"

#include <QByteArray>
#include <QString>

#include <qpdf/QPDF.hh>

#include <functional>
#include <map>

class QPDFWriter;

namespace quillary {

// Copies objects from one document into another. Unlike
// QPDF::copyForeignObject it never reads the source's page list (which for
// a file of a hundred thousand pages costs seconds and a hundred MB), and it
// never copies a page or page tree node that the copied object refers to: a
// reference to one becomes null.
// Stream data is copied as stored, when the destination is written: keep the
// source document alive until then. One copier per source and destination;
// an object copied twice is copied once.
class ObjectCopier {
public:
    explicit ObjectCopier(QPDF& destination) : destination(destination) {}
    QPDFObjectHandle copy(QPDFObjectHandle foreign);

private:
    QPDFObjectHandle copyDirect(QPDFObjectHandle foreign, int depth);
    QPDFObjectHandle copyContainer(QPDFObjectHandle foreign, int depth);

    QPDF& destination;
    std::map<QPDFObjGen, QPDFObjectHandle> copied;
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
