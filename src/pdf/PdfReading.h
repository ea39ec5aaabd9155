#pragma once

// Opening PDF files with qpdf and reading what the engine needs from them.
// Internal to quillary_core.

#include "pdf/PdfInput.h"
#include "pdf/Result.h"

#include <QRectF>
#include <QString>
#include <QStringList>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFDocumentHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <memory>
#include <optional>

namespace quillary {

// Opens a PDF. qpdf's warnings (a damaged file it repaired, say) are kept in
// the QPDF object, not printed: take them with takeWarnings. Throws on
// failure; describePdfError and errorCodeOf turn the exception into a reason
// and a code. Files that need a password are refused.
// A password (empty: none) opens a protected file: it is tried as typed
// (UTF-8), then in the single-byte encoding older files use.
std::shared_ptr<QPDF> openPdf(const QString& path, const QString& password = {});
// The same from an input source (a file's bytes in memory, say).
std::shared_ptr<QPDF> openPdf(std::shared_ptr<InputSource> input, const QString& password = {});
// The same for reading page 1 alone (see FirstPageInput.h): a long file
// costs what a short one costs. Objects outside page 1 may read as null.
// Where page 1 cannot be found that way, the file is opened whole.
std::shared_ptr<QPDF> openPdfForFirstPage(const QString& path, const QString& password = {});

// The warnings qpdf collected since the last call, as "<file>: <what>" lines
// (at most a few, repeats dropped). The list in pdf is emptied.
QStringList takeWarnings(QPDF& pdf, const QString& file);

// The media box of a page as a rectangle (inherited boxes resolved),
// normalised: positive width and height, origin at the lower-left corner.
QRectF mediaBoxOf(QPDFObjectHandle page);

// A short human reason for an exception thrown by qpdf, and its code.
QString describePdfError(const std::exception& e);
ErrorCode errorCodeOf(const std::exception& e);

// Finds page 1 of a document without reading the others: the page tree is
// walked down its first branches to the first leaf, so a file of a hundred
// thousand pages costs what a one-page file costs. (QPDF::getAllPages reads
// every page object and keeps a list of them.)
class PageTreeHelper : public QPDFDocumentHelper {
public:
    explicit PageTreeHelper(QPDF& pdf) : QPDFDocumentHelper(pdf) {}

    // Page 1 with the attributes it inherits from the page tree (resources,
    // media box, crop box, rotation) copied onto the page object itself, so it
    // can be used on its own. Nothing when the document has no page. The page
    // object is changed in memory: do not write this document afterwards.
    std::optional<QPDFPageObjectHelper> firstPage();
};

// Media box of page 1 of the file at path; nothing when the file cannot be
// read or has no page. Reads only what page 1 needs.
std::optional<QRectF> firstPageMediaBox(const QString& path);

} // namespace quillary
