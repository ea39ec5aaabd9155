#include "templates/TemplateImageViewContainer.h"

#include "pdf/PlainLines.h"
#include "pdf/TaskManager.h"
#include "platform/NotificationHub.h"
#include "platform/Ui.h"
#include "preview/PDFPOPupPreview.h"
#include "templates/CircleView.h"
#include "templates/TemplateImageView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGraphicsOpacityEffect>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace quillary {

namespace {
constexpr qreal Radius = 8;
// A4 portrait: the shape of the slot.
constexpr double PageRatio = 842.0 / 595.0;
} // namespace

QString firstDraggedFile(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls())
        return {};
    const QList<QUrl> urls = mime->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return {};
    return urls.first().toLocalFile();
}

TemplateImageViewContainer::TemplateImageViewContainer(int tag, QWidget* parent)
    : QWidget(parent)
    , tbi(new TemplateImageView(this))
    , dragAndDropText(new QLabel(this))
    , slotTag(tag)
{
    setAcceptDrops(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setAccessibleName(tr("%1 drop area").arg(slotName(tag)));
    tbi->hide();
    dragAndDropText->setText(tr("Drop a PDF file here"));
    dragAndDropText->setAlignment(Qt::AlignCenter);
    dragAndDropText->setWordWrap(true);
    dragAndDropText->setForegroundRole(QPalette::PlaceholderText);
    dragAndDropText->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(dragAndDropText);
}

void TemplateImageViewContainer::setButton(CircleView* button)
{
    circle = button;
    tbi->setButton(button);
    if (button)
        button->setContainer(this);
}

CircleView* TemplateImageViewContainer::button() const
{
    return circle;
}

QSize TemplateImageViewContainer::sizeHint() const
{
    return {200, heightForWidth(200)};
}

int TemplateImageViewContainer::heightForWidth(int width) const
{
    return qRound(width * PageRatio);
}

bool TemplateImageViewContainer::acceptsDrop(const QString& path) const
{
    if (path.isEmpty() || QFileInfo(path).suffix() != expectedExt)
        return false;
    const PageSize size = TaskManager::pageSize(path);
    return TaskManager::pageFormat(size.width, size.height).formatCode != FormatUndefined;
}

bool TemplateImageViewContainer::showsPage() const
{
    return !tbi->isHidden();
}

bool TemplateImageViewContainer::showPage(const QString& path)
{
    if (!QFileInfo::exists(path)) {
        printPlainLine(QStringLiteral("File.doesnt.Exist.for.path.") + path);
        return false;
    }
    const PageSize size = TaskManager::pageSize(path);
    pageSize = QSize(size.width, size.height);
    tbi->setPath(path);
    tbi->show();
    dragAndDropText->hide();
    layOutThumbnail();
    if (circle) {
        circle->setImageName(QStringLiteral("button"));
        circle->setState(PreviewState::IMAGE_IN);
    }
    return true;
}

void TemplateImageViewContainer::removeThumbnail()
{
    tbi->ns->hide();
    tbi->setPath(QString());
    tbi->hide();
    pageSize = QSize();
    dragAndDropText->show();
}

void TemplateImageViewContainer::layOutThumbnail()
{
    const QRectF frame = thumbnailFrame(QSizeF(pageSize), QSizeF(size()));
    if (!frame.isEmpty())
        tbi->setGeometry(frame.toRect());
}

void TemplateImageViewContainer::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layOutThumbnail();
}

void TemplateImageViewContainer::setDragHighlight(bool on)
{
    if (dragHighlight == on)
        return;
    dragHighlight = on;
    if (on) {
        auto* effect = new QGraphicsOpacityEffect(this);
        effect->setOpacity(0.5);
        setGraphicsEffect(effect);
    } else {
        setGraphicsEffect(nullptr);
    }
    update();
}

void TemplateImageViewContainer::dragEnterEvent(QDragEnterEvent* event)
{
    if (!acceptsDrop(firstDraggedFile(event->mimeData()))) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    setDragHighlight(true);
}

void TemplateImageViewContainer::dragLeaveEvent(QDragLeaveEvent* event)
{
    setDragHighlight(false);
    QWidget::dragLeaveEvent(event);
}

void TemplateImageViewContainer::dropEvent(QDropEvent* event)
{
    setDragHighlight(false);
    const QString path = firstDraggedFile(event->mimeData());
    // Only what the drag was accepted for can arrive here; checked once more
    // so that no other way in can put a foreign file into the slot.
    if (!acceptsDrop(path)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (TaskManager::hasWhiteBackground(path))
        Ui::instance().alert(window(), tr("PDF with background"),
                             tr("The content may not be displayed after printing because a white background "
                                "has been detected"),
                             AlertKind::Warning);
    filePath = path;
    showPage(path);
    NotificationHub::post(QStringLiteral("tourTrigger"));
    emit sourceChanged(slotTag, path);
}

void TemplateImageViewContainer::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath outline;
    outline.addRoundedRect(frame, Radius, Radius);

    const bool dark = palette().color(QPalette::Window).lightness() < 128;
    painter.fillPath(outline, dark ? palette().color(QPalette::Base) : QColor(246, 247, 249));
    // Inner shadow along the top and left edges: the slot lies a little deeper.
    painter.save();
    painter.setClipPath(outline);
    for (int i = 0; i < 4; ++i) {
        painter.setPen(QPen(QColor(0, 0, 0, 22 - i * 5), 1));
        painter.drawRoundedRect(frame.adjusted(i, i, 0, 0), Radius, Radius);
    }
    painter.restore();

    QPen border(dragHighlight ? palette().color(QPalette::Highlight) : QColor(160, 168, 180), dragHighlight ? 2 : 1);
    if (!showsPage() && !dragHighlight)
        border.setStyle(Qt::DashLine);
    painter.setPen(border);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);
}

} // namespace quillary
