#pragma once

// Writing a QPDF document out: to a file through AtomicFile, or into memory.
// Internal to quillary_core.

#include "pdf/Result.h"
#include "pdf/TaskManager.h"

#include <QByteArray>
#include <QString>

#include <qpdf/QPDF.hh>

#include <functional>

class QPDFWriter;

namespace quillary {

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

} // namespace quillary
