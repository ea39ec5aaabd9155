#include "preview/PrintJob.h"

#include <QFileInfo>
#include <QPageRanges>
#include <QPainter>
#include <QPdfDocument>
#include <QPrinter>

#include <cmath>

namespace quillary {

namespace {

bool stopped(const std::atomic<bool>* stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

// Draws page `index` into target (device pixels) in horizontal bands of the
// unturned page, each band composed onto white (printers take no alpha).
bool drawPage(QPainter& painter, QPdfDocument& document, int index, const PagePlacement& place, qreal dotsPerPoint,
              qint64 bandBytes, const std::atomic<bool>* stop)
{
    // Whole device pixels, so that the bands meet without a seam.
    const QRect target = QRectF(place.target.topLeft() * dotsPerPoint, place.target.size() * dotsPerPoint).toRect();
    const QSize pixels = place.rotated ? target.size().transposed() : target.size();
    if (pixels.isEmpty())
        return true;
    const int bandHeight = int(std::clamp<qint64>(bandBytes / (qint64(pixels.width()) * 4), 1, pixels.height()));

    painter.save();
    painter.translate(target.topLeft());
    if (place.rotated) {
        // A quarter clockwise: the page's top edge runs down the right side.
        painter.translate(target.width(), 0);
        painter.rotate(90);
    }
    for (int y = 0; y < pixels.height(); y += bandHeight) {
        if (stopped(stop)) {
            painter.restore();
            return false;
        }
        const int height = std::min(bandHeight, pixels.height() - y);
        QPdfDocumentRenderOptions options;
        options.setScaledSize(pixels);
        // One pixel more than the band each way: the renderer scales by the
        // clip rectangle's right minus left, which is one short of its width.
        options.setScaledClipRect(QRect(0, y, pixels.width() + 1, height + 1));
        const QImage band = document.render(index, QSize(pixels.width(), height), options);
        QImage paper(pixels.width(), height, QImage::Format_RGB32);
        paper.fill(Qt::white);
        {
            QPainter compose(&paper);
            compose.drawImage(0, 0, band);
        }
        painter.drawImage(QPointF(0, y), paper);
    }
    painter.restore();
    return true;
}

} // namespace

PagePlacement placePage(const QSizeF& page, const QSizeF& paper)
{
    PagePlacement place;
    if (page.isEmpty() || paper.isEmpty())
        return place;
    place.rotated = (page.width() > page.height()) != (paper.width() > paper.height())
                    && std::abs(page.width() - page.height()) > 0.5;
    const QSizeF turned = place.rotated ? page.transposed() : page;
    place.scale = std::min({1.0, paper.width() / turned.width(), paper.height() / turned.height()});
    const QSizeF size = turned * place.scale;
    place.target = QRectF(QPointF((paper.width() - size.width()) / 2, (paper.height() - size.height()) / 2), size);
    return place;
}

Result printPdf(const QString& pdfPath, QPrinter& printer, const std::atomic<bool>* stop, qint64 bandBytes)
{
    QPdfDocument document;
    if (document.load(pdfPath) != QPdfDocument::Error::None || document.pageCount() <= 0)
        return Result::failure(ErrorCode::Damaged, QStringLiteral("%1: not a readable PDF").arg(pdfPath));

    printer.setFullPage(true);
    QPainter painter;
    if (!painter.begin(&printer))
        return Result::failure(ErrorCode::WriteFailed,
                               QStringLiteral("%1: the printer could not be started").arg(printer.printerName()));

    // Text on letters must stay sharp: no lossy compression of the pages
    // where the printer takes a PDF.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    const QSizeF paper = printer.pageLayout().fullRectPoints().size();
    const qreal dotsPerPoint = printer.resolution() / 72.0;
    const bool ranged = printer.printRange() == QPrinter::PageRange && !printer.pageRanges().isEmpty();
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());

    bool first = true;
    for (int copy = 0; copy < copies; ++copy) {
        for (int index = 0; index < document.pageCount(); ++index) {
            if (ranged && !printer.pageRanges().contains(index + 1))
                continue;
            if (!first && !printer.newPage()) {
                painter.end();
                return Result::failure(ErrorCode::WriteFailed, QStringLiteral("%1: the printer took no further page")
                                                                   .arg(printer.printerName()));
            }
            first = false;
            const PagePlacement place = placePage(document.pagePointSize(index), paper);
            if (!drawPage(painter, document, index, place, dotsPerPoint, bandBytes, stop)) {
                printer.abort();
                painter.end();
                return Result::failure(ErrorCode::Cancelled, QStringLiteral("%1: printing stopped").arg(pdfPath));
            }
        }
    }
    if (!painter.end())
        return Result::failure(ErrorCode::WriteFailed,
                               QStringLiteral("%1: the printer did not finish the job").arg(printer.printerName()));
    return Result::success();
}

} // namespace quillary
