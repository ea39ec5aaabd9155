#pragma once

// Small helpers around qpdf shared by the engine and the store. Internal to
// quillary_core.

#include <QRectF>
#include <QString>

#include "pdf/Result.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <memory>
#include <optional>

namespace quillary {

// Opens a PDF quietly (no warnings on stderr). Throws on failure; the message of
// the exception is a readable reason. Files that need a password are refused.
std::shared_ptr<QPDF> openPdf(const QString& path);

// Tunes the allocator once for qpdf's pattern of large short-lived blocks.
void keepHeapTopForQpdf();

// Media box of page 1, normalised (positive width and height, origin at the
// lower-left corner); nothing when the file cannot be read or has no page.
std::optional<QRectF> firstPageMediaBox(const QString& path);

// The media box of a page as a rectangle (inherited boxes resolved).
QRectF mediaBoxOf(QPDFObjectHandle page);

// A short human reason for an exception thrown by qpdf, and its code.
QString describePdfError(const std::exception& e);
ErrorCode errorCodeOf(const std::exception& e);

std::string toLocal8(const QString& path);

} // namespace quillary

#include <functional>
class QPDFWriter;

namespace quillary {

// Writes pdf to destination through an AtomicFile, so an existing destination
// is only ever replaced by a complete file. configure may set up the writer
// (encryption, ...). qpdf's own exceptions pass through; a failed write is
// returned, and leaves nothing behind either way.
Result writePdfAtomically(QPDF& pdf, const QString& destination,
                        const std::function<void(QPDFWriter&)>& configure = {});

} // namespace quillary
