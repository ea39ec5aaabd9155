#include "guides/DummyActionGetter.h"

#include "platform/NotificationHub.h"
#include "templates/CircleView.h"

#include <QMouseEvent>
#include <QPainter>

namespace quillary {

DummyActionGetter::DummyActionGetter(QWidget* parent)
    : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    // Presses from the keyboard or an assistive tool arrive as clicks; the
    // mouse posts on press already and never clicks.
    connect(this, &QAbstractButton::clicked, this, &DummyActionGetter::post);
    describe();
}

void DummyActionGetter::describe()
{
    //: %1 is "start page", "continuation page" or "terms page"
    setAccessibleName(tr("Choose the %1").arg(slotName(slotTag())));
    setToolTip(tr("Click to choose a PDF file for the %1").arg(slotName(slotTag())));
}

void DummyActionGetter::post()
{
    // The window of the view the catcher lies on: the file panel opens there.
    QWidget* over = parentWidget() ? parentWidget()->window() : window();
    NotificationHub::post(notificationName(), {{QStringLiteral("tag"), slotTag()},
                                               {QStringLiteral("window"), QVariant::fromValue<QObject*>(over)}});
}

void DummyActionGetter::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    post();
}

void DummyActionGetter::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void DummyActionGetter::enterEvent(QEnterEvent* event)
{
    hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void DummyActionGetter::leaveEvent(QEvent* event)
{
    hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void DummyActionGetter::paintEvent(QPaintEvent*)
{
    // Transparent but for a ring while the pointer or the focus is on it.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (backgroundColor.alpha() > 0)
        painter.fillRect(rect(), backgroundColor);
    if (!hovered && !hasFocus())
        return;
    QColor ring = palette().color(QPalette::Highlight);
    painter.setPen(QPen(ring, 2));
    painter.setBrush(Qt::NoBrush);
    const qreal radius = qMax<qreal>(cornerRadius, 4);
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), radius, radius);
}

DummyActionGetterSecond::DummyActionGetterSecond(QWidget* parent)
    : DummyActionGetter(parent)
{
    describe();
}

DummyActionGetterThird::DummyActionGetterThird(QWidget* parent)
    : DummyActionGetter(parent)
{
    describe();
}

} // namespace quillary
