#include "templates/TemplateImageView.h"

#include "pdf/TaskManager.h"
#include "platform/NotificationHub.h"
#include "preview/PDFPOPupPreview.h"
#include "templates/CircleView.h"
#include "templates/PageThumbnails.h"

#include <QGuiApplication>
#include <QPainter>

namespace quillary {

namespace {
constexpr qreal Margin = 8;
constexpr int PopoverSide = 320;
// Whether a tour tip is shown, for thumbnails made while one is: they start in
// step with the others. Flipped by the same posts that flip each thumbnail.
bool& tourTipShown()
{
    static bool shown = false;
    static const QMetaObject::Connection observer = QObject::connect(
        &NotificationHub::instance(), &NotificationHub::posted, [](const QString& name, const QVariantMap&) {
            if (name == QLatin1String("toggleIsInTourTip"))
                tourTipShown() = !tourTipShown();
        });
    Q_UNUSED(observer);
    return shown;
}

} // namespace

QRectF thumbnailFrame(const QSizeF& pageSize, const QSizeF& box)
{
    if (pageSize.isEmpty() || box.isEmpty())
        return {};
    const QSizeF fitted = pageSize.scaled(box, Qt::KeepAspectRatio);
    const QRectF placed(QPointF((box.width() - fitted.width()) / 2, (box.height() - fitted.height()) / 2), fitted);
    return placed.adjusted(Margin, Margin, -Margin, -Margin);
}

QSize popoverSize(const PageSize& page)
{
    if (page.width <= 0 || page.height <= 0)
        return {};
    const double r = double(page.height) / page.width;
    if (r < 1)
        return QSizeF(PopoverSide, r * PopoverSide).toSize();
    return QSizeF(double(page.width) / page.height * PopoverSide, PopoverSide).toSize();
}

TemplateImageView::TemplateImageView(QWidget* parent)
    : QWidget(parent)
    , ns(new PDFPOPupPreview(this))
    , isInTourTip(tourTipShown())
{
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true);
    connect(&NotificationHub::instance(), &NotificationHub::posted, this,
            [this](const QString& name, const QVariantMap&) {
                if (name == QLatin1String("toggleIsInTourTip"))
                    changeIsInTourTip();
            });
    connect(&PageThumbnails::instance(), &PageThumbnails::rendered, this, [this](const QString& rendered) {
        if (rendered == ns->path)
            update();
    });
}

TemplateImageView::~TemplateImageView()
{
    ns->hide();
}

void TemplateImageView::setButton(CircleView* button)
{
    circle = button;
}

void TemplateImageView::setPath(const QString& path)
{
    ns->path = path;
    setAccessibleName(path.isEmpty() ? QString() : tr("Page preview"));
    update();
}

QString TemplateImageView::path() const
{
    return ns->path;
}

void TemplateImageView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect page = rect();
    painter.fillRect(page, Qt::white);
    const QImage image = PageThumbnails::instance().image(ns->path, page.size() * devicePixelRatioF());
    if (!image.isNull())
        painter.drawImage(page, image);
    // A 1-point grey border at half strength around the page.
    painter.setPen(QColor(157, 157, 157, 128));
    painter.drawRect(page.adjusted(0, 0, -1, -1));
    if (hovered)
        painter.fillRect(page, QColor(5, 46, 76, 51));
}

void TemplateImageView::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    hovered = true;
    update();
    // A held primary button is a drag passing over: no popover then.
    if (QGuiApplication::mouseButtons() == Qt::LeftButton || isInTourTip || ns->path.isEmpty())
        return;
    const QSize size = popoverSize(TaskManager::pageSize(ns->path));
    if (size.isEmpty())
        return;
    ns->showRelativeTo(this, rect(), PDFPOPupPreview::Edge::MinY, size);
    if (circle)
        circle->setImageName(QStringLiteral("X_button"));
}

void TemplateImageView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    hovered = false;
    update();
    if (QGuiApplication::mouseButtons() == Qt::LeftButton)
        return;
    ns->hide();
    if (circle && circle->imageName() == QLatin1String("X_button"))
        circle->setImageName(QStringLiteral("button"));
}

} // namespace quillary
