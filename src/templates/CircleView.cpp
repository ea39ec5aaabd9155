#include "templates/CircleView.h"

#include "pdf/TaskManager.h"
#include "platform/NamedImage.h"
#include "platform/Ui.h"
#include "templates/EditingViews.h"
#include "templates/TemplateImageViewContainer.h"

#include <QPainter>

namespace quillary {

QString slotName(int tag)
{
    switch (tag) {
    case 1: return CircleView::tr("start page");
    case 2: return CircleView::tr("continuation page");
    case 3: return CircleView::tr("terms page");
    default: return {};
    }
}

CircleView::CircleView(int tag, QWidget* parent)
    : QAbstractButton(parent)
    , slotTag(tag)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    if (tag >= 1 && tag <= 3) {
        QPointer<CircleView>& registered = tag == 1 ? EditingViews::startCircle
                                           : tag == 2 ? EditingViews::continualCircle
                                                      : EditingViews::agbCircle;
        registered = this;
    }
    connect(this, &QAbstractButton::clicked, this, &CircleView::mouseDown);
    updateAccessibleName();
}

QSize CircleView::sizeHint() const
{
    return {40, 40};
}

void CircleView::setState(PreviewState state)
{
    previewState = state;
    updateAccessibleName();
}

void CircleView::setImageName(const QString& name)
{
    image = name;
    update();
}

void CircleView::setContainer(TemplateImageViewContainer* container)
{
    slotContainer = container;
}

TemplateImageViewContainer* CircleView::container() const
{
    return slotContainer;
}

void CircleView::updateAccessibleName()
{
    const QString page = slotName(slotTag);
    if (previewState == PreviewState::IMAGE_IN) {
        setAccessibleName(tr("Remove %1").arg(page));
        setToolTip(tr("Remove the %1").arg(page));
    } else {
        setAccessibleName(tr("Choose %1").arg(page));
        setToolTip(tr("Choose a PDF file for the %1").arg(page));
    }
}

void CircleView::mouseDown()
{
    if (previewState == PreviewState::IMAGE_IN)
        clearSlot(slotTag);
    else
        chooseFile(true, window(), slotTag);
}

void CircleView::notClickedWithNotification(const QVariantMap& userInfo)
{
    const int tag = userInfo.value(QStringLiteral("tag")).toInt();
    // The notification names the slot; it is normally this button's own.
    CircleView* target = tag == slotTag ? this : EditingViews::circle(tag);
    if (!target)
        return;
    if (target->previewState == PreviewState::IMAGE_IN) {
        target->clearSlot(tag);
        return;
    }
    QWidget* over = qobject_cast<QWidget*>(userInfo.value(QStringLiteral("window")).value<QObject*>());
    target->chooseFile(false, over ? over : target->window(), tag);
}

void CircleView::clearSlot(int tag)
{
    if (slotContainer)
        slotContainer->removeThumbnail();
    setImageName(QStringLiteral("button_plus"));
    setState(PreviewState::EMPTY);
    emit sourceChanged(tag, QString());
}

void CircleView::chooseFile(bool checkPage, QWidget* window, int tag)
{
    const auto chosen = Ui::instance().chooseFileToOpen(window, tr("Choose the %1").arg(slotName(tag)),
                                                        {QStringLiteral("pdf")});
    if (!chosen)
        return;
    const QString path = *chosen;
    if (checkPage) {
        const PageSize size = TaskManager::pageSize(path);
        if (TaskManager::pageFormat(size.width, size.height).formatCode == FormatUndefined) {
            Ui::instance().alert(window, tr("Unknown Format"), tr("Supported Formats"), AlertKind::Error);
            return;
        }
        if (TaskManager::hasWhiteBackground(path))
            Ui::instance().alert(window, tr("PDF with background"),
                                 tr("The content may not be displayed after printing because a white "
                                    "background has been detected"),
                                 AlertKind::Warning);
    }
    if (slotContainer)
        slotContainer->showPage(path);
    setState(PreviewState::IMAGE_IN);
    emit sourceChanged(tag, path);
}

void CircleView::enterEvent(QEnterEvent* event)
{
    hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CircleView::leaveEvent(QEvent* event)
{
    hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CircleView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF circleRect = QRectF(rect()).adjusted(2, 1, -2, -3);
    if (!hovered) {
        // A soft shadow that goes away under the pointer, so the button seems to rise.
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 45));
        painter.drawEllipse(circleRect.translated(0, 1.5));
    }
    const QSize iconSize = circleRect.size().toSize();
    painter.drawPixmap(circleRect.topLeft(),
                       namedImage(image).pixmap(iconSize, devicePixelRatioF(),
                                                isEnabled() ? QIcon::Normal : QIcon::Disabled));
    if (isDown()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 50));
        painter.drawEllipse(circleRect);
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(circleRect.adjusted(-1, -1, 1, 1));
    }
}

} // namespace quillary
