#include "templates/TemplateRowView.h"

#include "controls/Appearance.h"
#include "pdf/TaskManager.h"
#include "store/CustomFileManager.h"
#include "templates/PageThumbnails.h"
#include "templates/TemplateViewController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace quillary {

QString shownChangeLabel(const QString& stored, const QLocale& locale)
{
    // German labels written by earlier versions read the same way.
    static const QRegularExpression pattern(
        QStringLiteral("^(Created|Updated|Erstellt|Aktualisiert|Geändert)\\s+(\\d{2}\\.\\d{2}\\.\\d{2})$"));
    const QRegularExpressionMatch match = pattern.match(stored.trimmed());
    if (!match.hasMatch())
        return stored;
    QDate date = QDate::fromString(match.captured(2), QStringLiteral("dd.MM.yy"));
    if (!date.isValid())
        return stored;
    date = date.addYears(100); // two digits of this century, not of 1900
    const QString shown = locale.toString(date, QLocale::ShortFormat);
    const QString word = match.captured(1);
    if (word == QLatin1String("Created") || word == QLatin1String("Erstellt"))
        return TemplateViewController::tr("Created on %1").arg(shown);
    return TemplateViewController::tr("Updated on %1").arg(shown);
}

DesignableView::DesignableView(QWidget* parent)
    : TemplateSelectionOverlay(parent)
{
    // The list's base shows through; an opaque white would stay white in
    // the dark palette, under light text.
    StyledView::setBackgroundColor(Qt::transparent);
    followPalette();
}

void DesignableView::followPalette()
{
    QColor hover = palette().color(QPalette::WindowText);
    hover.setAlpha(14);
    setHighlightColor(hover);
}

void DesignableView::changeEvent(QEvent* event)
{
    TemplateSelectionOverlay::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        followPalette();
        coloursChanged();
    }
}

QColor DesignableView::selectionColor(const QPalette& palette)
{
    // Worked out from the palette in use when painted: a scheme switched
    // while the window is open recolours the selection with it.
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
    const qreal share = 0.28;
    return QColor::fromRgbF(base.redF() + (highlight.redF() - base.redF()) * share,
                            base.greenF() + (highlight.greenF() - base.greenF()) * share,
                            base.blueF() + (highlight.blueF() - base.blueF()) * share);
}

QColor DesignableView::backgroundColor() const
{
    return selected ? selectionColor(palette()) : QColor(Qt::transparent);
}

void DesignableView::setSelected(bool on)
{
    if (selected == on)
        return;
    selected = on;
    coloursChanged();
    update();
}

void DesignableView::paintEvent(QPaintEvent* event)
{
    TemplateSelectionOverlay::paintEvent(event);
    QPainter painter(this);
    if (selected)
        painter.fillRect(rect(), selectionColor(palette()));
    // A hairline between rows.
    painter.setPen(palette().color(QPalette::Midlight));
    painter.drawLine(QPoint(12, height() - 1), QPoint(width() - 1, height() - 1));
}

// ---------------------------------------------------------------------------

// The start page of a row, rendered when the row is first painted.
class RowThumbnail : public QWidget {
public:
    explicit RowThumbnail(TemplateRowView* row)
        : QWidget(row)
        , row(row)
    {
        setFixedSize(78, 106);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QString path = row->startPage;
        // Measured once per page shown, when the row is first painted.
        if (!row->startPageSize) {
            const PageSize size = TaskManager::pageSize(path.isEmpty() ? std::nullopt : std::optional(path));
            row->startPageSize = size.width > 0 ? QSizeF(size.width, size.height) : QSizeF(595, 842);
        }
        const QSizeF page = *row->startPageSize;
        const QRectF frame = QRectF(QPointF(), page.scaled(QSizeF(width() - 4, height() - 4), Qt::KeepAspectRatio))
                                 .translated(2, 2);
        const QRectF placed = frame.translated((width() - 4 - frame.width()) / 2, (height() - 4 - frame.height()) / 2);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 30));
        painter.drawRect(placed.translated(0, 1.5));
        painter.fillRect(placed, Qt::white);
        const QImage image = PageThumbnails::instance().image(path, (placed.size() * devicePixelRatioF()).toSize());
        if (!image.isNull())
            painter.drawImage(placed, image);
        else if (path.isEmpty()) {
            painter.setPen(palette().color(QPalette::PlaceholderText));
            painter.drawText(placed, Qt::AlignCenter, TemplateViewController::tr("No page"));
        }
        painter.setPen(QColor(157, 157, 157, 128));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(placed.adjusted(0.5, 0.5, -0.5, -0.5));
    }

private:
    TemplateRowView* row;
};

TemplateRowView::TemplateRowView(TemplateViewController* list, QWidget* parent)
    : DesignableView(parent)
    , list(list)
{
    setFixedHeight(TemplateViewController::RowHeight);
    setAttribute(Qt::WA_Hover);

    thumbnail = new RowThumbnail(this);
    nameLabel = new QLabel(this);
    QFont nameFont = nameLabel->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.15);
    nameLabel->setFont(nameFont);
    nameLabel->setTextFormat(Qt::PlainText);
    dateLabel = new QLabel(this);
    dateLabel->setForegroundRole(QPalette::PlaceholderText);
    formatLabel = new QLabel(this);
    formatLabel->setForegroundRole(QPalette::PlaceholderText);

    active = new ActiveSwitch(this);
    active->setToolTip(TemplateViewController::tr("Enabled templates are offered when you print"));
    layer = new LayerSwitch(this);
    layer->setToolTip(TemplateViewController::tr("On: the stationery lies behind the document's content.\n"
                                                 "Off: it is drawn over the content."));
    activeCaption = new QLabel(TemplateViewController::tr("Enabled"), this);
    layerCaption = new QLabel(TemplateViewController::tr("Behind content"), this);
    activeCaption->setBuddy(active);
    layerCaption->setBuddy(layer);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(nameLabel);
    texts->addWidget(dateLabel);
    texts->addWidget(formatLabel);
    texts->addStretch(1);
    auto* switches = new QHBoxLayout;
    switches->setSpacing(6);
    switches->addWidget(active);
    switches->addWidget(activeCaption);
    switches->addSpacing(12);
    switches->addWidget(layer);
    switches->addWidget(layerCaption);
    switches->addStretch(1);
    texts->addLayout(switches);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(14);
    layout->addWidget(thumbnail, 0, Qt::AlignVCenter);
    layout->addLayout(texts, 1);

    coloursChanged();

    connect(active, &QAbstractButton::clicked, list, [this] { this->list->activateTemplateWithActiveSwitch(active); });
    connect(layer, &QAbstractButton::clicked, list, [this] { this->list->switchLayerWithLayerBack(layer); });
    connect(&PageThumbnails::instance(), &PageThumbnails::rendered, thumbnail, [this](const QString& path) {
        if (path == startPage)
            thumbnail->update();
    });
}

void TemplateRowView::fill(int index, const TemplateRecord& record)
{
    row = index;
    templateName = record.name;
    const auto page = record.pageIndex(PageKind::Start);
    const QString shown = page ? sharedStore().pagePath(PageKind::Start, *page).value_or(QString()) : QString();
    if (shown != startPage)
        startPageSize.reset();
    startPage = shown;
    elideName();
    dateLabel->setText(shownChangeLabel(record.lastActivityWithDate(), QLocale()));
    dateLabel->setAccessibleName(dateLabel->text());
    formatLabel->setText(formatLabelFor(record.docFormat()));
    active->rowTag = index;
    active->setChecked(record.isActive());
    active->setAccessibleName(TemplateViewController::tr("Enable %1").arg(record.name));
    layer->rowTag = index;
    layer->setChecked(record.isOverlay());
    layer->setAccessibleName(TemplateViewController::tr("Stationery behind content, %1").arg(record.name));
    setAccessibleName(record.name);
    thumbnail->setAccessibleName(TemplateViewController::tr("Start page of %1").arg(record.name));
    thumbnail->update();
}

void TemplateRowView::coloursChanged()
{
    if (!nameLabel)
        return;
    // Every text stays readable on what lies behind it: the selection fill,
    // or the list's base. Themes whose highlight is light in a dark scheme
    // (or dark in a light one) would otherwise leave light text on light.
    const QPalette own = palette();
    const QColor behind = isSelected() ? selectionColor(own) : own.color(QPalette::Active, QPalette::Base);
    for (QLabel* label : {nameLabel, dateLabel, formatLabel, activeCaption, layerCaption}) {
        QPalette colours = own;
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::PlaceholderText})
            for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
                colours.setColor(group, role, appearance::readableOn(own.color(group, role), behind));
        label->setPalette(colours);
    }
}

void TemplateRowView::elideName()
{
    const QFontMetrics metrics(nameLabel->font());
    const int room = qMax(40, nameLabel->width());
    const QString shown = metrics.elidedText(templateName, Qt::ElideRight, room);
    nameLabel->setText(shown);
    // A name too long for the row shows whole while the pointer rests on it.
    nameLabel->setToolTip(shown == templateName ? QString() : templateName);
}

void TemplateRowView::resizeEvent(QResizeEvent* event)
{
    DesignableView::resizeEvent(event);
    elideName();
}

void TemplateRowView::paintEvent(QPaintEvent* event)
{
    DesignableView::paintEvent(event);
    // The keyboard is on the list: its selected row wears the focus ring.
    if (isSelected() && list->hasFocus()) {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(appearance::accent(palette()), 2));
        painter.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 6, 6);
    }
}

void TemplateRowView::select()
{
    list->selectRow(row);
}

void TemplateRowView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        list->setFocus(Qt::MouseFocusReason);
        list->selectRow(row);
    }
    DesignableView::mousePressEvent(event);
}

} // namespace quillary
