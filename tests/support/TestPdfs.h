#pragma once

// Small PDF files made for tests with qpdf: sizes, text, coloured marks, white
// page fills, encryption, zero pages.

#include <QColor>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace testpdfs {

inline const QSizeF A4{595.276, 841.89};
inline const QSizeF A4Whole{595, 842};
inline const QSizeF A4Landscape{841.89, 595.276};
inline const QSizeF Letter{612, 792};

// What one page carries.
struct TestPage {
    QSizeF size = A4Whole;
    QString text;                 // drawn in Helvetica near the top left (empty: none)
    QList<QPair<QRectF, QColor>> rects; // filled rectangles in user space
    bool whiteBackground = false; // a page-sized "1 1 1 sc ... re f" fill first
    QString rawContent;           // appended verbatim to the content stream
    QPointF origin;               // lower-left corner of the media box
    int rotate = 0;               // /Rotate of the page (0: none)
};

// Writes a PDF with the given pages; returns false when writing failed.
bool writePdf(const QString& path, const QList<TestPage>& pages);

// n pages of one size, each labelled "Page k".
bool writeNumbered(const QString& path, int pages, QSizeF size = A4Whole);

// One page whose whole content stream is rawContent (for scanner tests).
bool writeRaw(const QString& path, const QByteArray& rawContent, QSizeF size = A4Whole);

// One A4 page, encrypted with AES-256 and the user password.
bool writeEncrypted(const QString& path, const QString& userPassword, const QString& ownerPassword);

// A structurally valid PDF with no pages.
bool writeZeroPages(const QString& path);

// Writes bytes to a file as they are.
bool writeBytes(const QString& path, const QByteArray& bytes);

// Page count through qpdf; -1 when the file cannot be read.
int pageCount(const QString& path, const QString& password = {});

// Media box of page `index` (0-based) through qpdf; null when unreadable.
QRectF mediaBox(const QString& path, int index = 0, const QString& password = {});

} // namespace testpdfs

namespace testpdfs {

// E-invoices and letterheads for the PDF/A tests.
enum class Intent { None, Srgb, Cmyk };

// A two-page PDF/A-<part>b document with an embedded invoice XML, XMP and
// document information (title "Invoice 4711", author "ACME") in step, and
// the output intent asked for. Its own drawing uses ICC based colour only.
bool writePdfaDocument(const QString& path, int part, Intent intent);

// One-page stationery of a kind: "standard" (Helvetica and Times-Bold text,
// RGB), "arial" (TrueType Arial with its widths, gray text), "calibri"
// (Calibri-Bold without widths), "subset" (an embedded subset font),
// "cmyk" (a CMYK logo and image), "gray" (gray fill, Courier text), "jpeg"
// (an RGB JPEG logo), "nested" (a form in a form, RGB then CMYK and text),
// "group" (a transparency group and alpha), "unknown" (a font no system
// face matches), "encrypted" (standard, with an owner password).
bool writeStationery(const QString& path, const QString& kind);

} // namespace testpdfs
