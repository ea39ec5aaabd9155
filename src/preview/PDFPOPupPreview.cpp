#include "preview/PDFPOPupPreview.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPdfDocument>
#include <QScreen>

namespace quillary {

namespace {
constexpr int Margin = 6;
}

PDFPOPupPreview::PDFPOPupPreview(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint)
{
    // A tool tip window: it shows beside the pointer without taking the focus
    // or the pointer from the view that opened it.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleName(tr("Page preview"));
}

void PDFPOPupPreview::refresh(const QSize& size)
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size) * ratio).toSize();
    shown = QImage();
    if (!path.isEmpty()) {
        QPdfDocument document;
        document.load(path);
        if (document.status() == QPdfDocument::Status::Ready && document.pageCount() > 0)
            shown = document.render(0, pixels);
    } else if (!popUPimg.isNull()) {
        shown = popUPimg.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    shown.setDevicePixelRatio(ratio);
}

void PDFPOPupPreview::showRelativeTo(QWidget* anchor, const QRect& rect, Edge edge, const QSize& size)
{
    refresh(size);
    resize(size + QSize(2 * Margin, 2 * Margin));
    QPoint at;
    const QRect global(anchor->mapToGlobal(rect.topLeft()), rect.size());
    switch (edge) {
    case Edge::MinX: at = QPoint(global.left() - width() - 4, global.center().y() - height() / 2); break;
    case Edge::MaxX: at = QPoint(global.right() + 4, global.center().y() - height() / 2); break;
    case Edge::MinY: at = QPoint(global.center().x() - width() / 2, global.bottom() + 4); break;
    case Edge::MaxY: at = QPoint(global.center().x() - width() / 2, global.top() - height() - 4); break;
    }
    if (QScreen* screen = anchor->screen()) {
        const QRect area = screen->availableGeometry();
        // Flip to the other side when it does not fit, then keep it on screen.
        if (edge == Edge::MinX && at.x() < area.left())
            at.setX(global.right() + 4);
        if (edge == Edge::MinY && at.y() + height() > area.bottom())
            at.setY(global.top() - height() - 4);
        at.setX(qBound(area.left(), at.x(), qMax(area.left(), area.right() - width())));
        at.setY(qBound(area.top(), at.y(), qMax(area.top(), area.bottom() - height())));
    }
    move(at);
    show();
    update();
}

void PDFPOPupPreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0, 0, 0, 60));
    painter.setBrush(palette().window());
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    const QRect page = rect().adjusted(Margin, Margin, -Margin, -Margin);
    painter.fillRect(page, Qt::white);
    if (!shown.isNull())
        painter.drawImage(page, shown);
    painter.setPen(QColor(Qt::lightGray));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(page.adjusted(0, 0, -1, -1));
}

} // namespace quillary
