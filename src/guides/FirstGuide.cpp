#include "guides/FirstGuide.h"

#include "guides/WindowGuide.h"
#include "platform/NotificationHub.h"
#include "templates/CircleView.h"
#include "templates/EditingViews.h"

#include <QPainter>
#include <QPaintEvent>
#include <QPainterPath>

namespace quillary {

namespace {

QPainterPath cutOut(const QRectF& rect, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

} // namespace

FirstGuide::FirstGuide(QWidget* parent)
    : StyledView(Qt::transparent, parent)
{
    setAttribute(Qt::WA_NoSystemBackground);
}

void FirstGuide::setHighlightPoint(const QRectF& rect)
{
    if (highlight == rect)
        return;
    highlight = rect;
    updateMask();
    update();
}

void FirstGuide::styleChanged()
{
    updateMask();
}

void FirstGuide::resizeEvent(QResizeEvent* event)
{
    StyledView::resizeEvent(event);
    updateMask();
}

void FirstGuide::updateMask()
{
    if (highlight.isEmpty()) {
        clearMask();
        return;
    }
    // The view ends where the cut-out begins, so that events there go to
    // whatever lies beneath.
    const QPolygon hole = cutOut(highlight, cornerRadius()).toFillPolygon().toPolygon();
    setMask(QRegion(rect()).subtracted(QRegion(hole)));
}

void FirstGuide::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath dark;
    dark.addRect(QRectF(event->rect()));
    if (!highlight.isEmpty())
        dark = dark.subtracted(cutOut(highlight, cornerRadius()));
    painter.fillPath(dark, QColor::fromRgbF(0, 0, 0, OverlayAlpha));
    if (!highlight.isEmpty() && borderWidth() > 0 && borderColor().alpha() > 0) {
        // A ring just outside the cut-out draws the eye to it.
        const qreal w = borderWidth();
        painter.setPen(QPen(borderColor(), w));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(cutOut(highlight.adjusted(-w / 2 - 1, -w / 2 - 1, w / 2 + 1, w / 2 + 1),
                                cornerRadius() + w / 2 + 1));
    }
}

void FirstGuide::clickCircleViewWithSender(QObject* sender)
{
    const int tag = sender ? sender->property("tag").toInt() : 0;
    NotificationHub::post(QStringLiteral("circleView"),
                          {{QStringLiteral("tag"), tag},
                           {QStringLiteral("window"), QVariant::fromValue<QObject*>(window())}});
}

void FirstGuide::configurePrinterWithSender(QObject*)
{
    configurePrinter(this);
}

void configurePrinter(QWidget* guide)
{
    if (WindowGuide* own = WindowGuide::of(guide))
        own->close();
    if (QAbstractButton* configure = EditingViews::configureButtonRef)
        configure->click();
}

} // namespace quillary
