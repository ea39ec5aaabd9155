#pragma once

// Printing a merged PDF on a printer the print dialog has set up: every page is
// rendered at the printer's resolution, scaled down to the paper where it is
// larger (never up), turned a quarter when page and paper differ in
// orientation, centred, with no margins. Pages are rendered in bands so that a
// 1200 dpi printer needs no page-sized bitmap. Runs on any thread; the printer
// must not be touched elsewhere meanwhile.

#include "pdf/Result.h"

#include <QRectF>
#include <QSizeF>
#include <QString>

#include <atomic>

class QPrinter;

namespace quillary {

// Where a page of pagePoints goes on paper of paperPoints (both in points).
struct PagePlacement {
    bool rotated = false; // turned a quarter clockwise
    QRectF target;        // on the paper, in points, after turning
    qreal scale = 1;      // <= 1
};
PagePlacement placePage(const QSizeF& pagePoints, const QSizeF& paperPoints);

// Bytes of one rendered band: small enough for any printer resolution.
inline constexpr qint64 kPrintBandBytes = 16 * 1024 * 1024;

// Prints every page of pdfPath (or the range the dialog chose). Stops between
// bands when stop is set (the job is then aborted: nothing is printed).
Result printPdf(const QString& pdfPath, QPrinter& printer, const std::atomic<bool>* stop = nullptr,
                qint64 bandBytes = kPrintBandBytes);

} // namespace quillary
