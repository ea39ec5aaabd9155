#include "templates/TemplateViewController.h"

#include "controls/OverlayScrollBars.h"
#include "pdf/TaskManager.h"
#include "platform/FailureText.h"
#include "platform/NamedImage.h"
#include "platform/Ui.h"
#include "store/CustomFileManager.h"
#include "templates/PageThumbnails.h"
#include "templates/TemplateImageView.h"

#include <QApplication>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillary {

QString formatLabelFor(const QString& docFormat)
{
    bool isNumber = false;
    const int code = docFormat.toInt(&isNumber);
    if (!isNumber || code == 0)
        return TemplateViewController::tr("DIN A4");
    if (code == 1)
        return TemplateViewController::tr("US Letter");
    return TemplateViewController::tr("Undefined");
}

// ---------------------------------------------------------------------------

DesignableView::DesignableView(QWidget* parent)
    : TemplateSelectionOverlay(parent)
{
    setBackgroundColor(Qt::transparent);
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
    if (event->type() == QEvent::PaletteChange)
        followPalette();
}

void DesignableView::setBackgroundColor(const QColor& color)
{
    if (background == color)
        return;
    background = color;
    update();
}

void DesignableView::paintEvent(QPaintEvent* event)
{
    TemplateSelectionOverlay::paintEvent(event);
    QPainter painter(this);
    if (background.alpha() > 0)
        painter.fillRect(rect(), background);
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
    auto* activeCaption = new QLabel(TemplateViewController::tr("Enabled"), this);
    auto* layerCaption = new QLabel(TemplateViewController::tr("Behind content"), this);
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
    dateLabel->setText(record.lastActivityWithDate());
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

void TemplateRowView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        list->setFocus(Qt::MouseFocusReason);
        list->selectRow(row);
    }
    DesignableView::mousePressEvent(event);
}

// ---------------------------------------------------------------------------

TemplateViewController::TemplateViewController(QWidget* parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("Templates"));

    auto* header = new QWidget(this);
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(16, 14, 16, 10);
    auto* logo = new QLabel(header);
    logo->setPixmap(namedImage(QStringLiteral("quillary")).pixmap(QSize(28, 28), devicePixelRatioF()));
    logo->setAccessibleName(tr("Quillary"));
    logo->installEventFilter(this);
    logo->setObjectName(QStringLiteral("counterImage"));
    auto* title = new QLabel(tr("Templates"), header);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    title->setFont(titleFont);
    headerLayout->addWidget(logo);
    headerLayout->addWidget(title, 1);

    // Its bars lie over the rows and fade when the list stands still.
    scroll = new OverlayScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setAccessibleName(tr("Template list"));
    rowsHost = new QWidget(scroll);
    rowsHost->setBackgroundRole(QPalette::Base);
    rowsHost->setAutoFillBackground(true);
    rowsLayout = new QVBoxLayout(rowsHost);
    rowsLayout->setContentsMargins(0, 0, 0, 0);
    rowsLayout->setSpacing(0);
    emptyLabel = new QLabel(tr("No templates yet.\nClick + to add one."), rowsHost);
    emptyLabel->setAlignment(Qt::AlignCenter);
    emptyLabel->setForegroundRole(QPalette::PlaceholderText);
    emptyLabel->setContentsMargins(0, 40, 0, 0);
    rowsLayout->addWidget(emptyLabel);
    rowsLayout->addStretch(1);
    scroll->setWidget(rowsHost);
    scroll->verticalScrollBar()->setSingleStep(RowHeight / 4);

    auto* footer = new QFrame(this);
    footer->setFrameShape(QFrame::NoFrame);
    auto* footerLayout = new QHBoxLayout(footer);
    footerLayout->setContentsMargins(8, 6, 8, 6);
    footerLayout->setSpacing(2);
    addButton = new QToolButton(footer);
    addButton->setText(QStringLiteral("+"));
    addButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    addButton->setAccessibleName(tr("Add template"));
    addButton->setToolTip(tr("Add a template"));
    deleteButton = new QToolButton(footer);
    deleteButton->setText(QStringLiteral("\u2212"));
    deleteButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    deleteButton->setAccessibleName(tr("Delete template"));
    deleteButton->setToolTip(tr("Delete the selected template"));
    for (QToolButton* button : {addButton, deleteButton}) {
        QFont font = button->font();
        font.setPointSizeF(font.pointSizeF() * 1.35);
        button->setFont(font);
        button->setFixedSize(32, 28);
        button->setAutoRaise(true);
    }
    footerLayout->addWidget(addButton);
    footerLayout->addWidget(deleteButton);
    footerLayout->addStretch(1);
    connect(addButton, &QToolButton::clicked, this, [this] { addPatternWithSender(addButton); });
    connect(deleteButton, &QToolButton::clicked, this, [this] { deletePatternWithSender(deleteButton); });

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Midlight);
    auto* topLine = new QFrame(this);
    topLine->setFrameShape(QFrame::HLine);
    topLine->setFrameShadow(QFrame::Plain);
    topLine->setForegroundRole(QPalette::Midlight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(header);
    layout->addWidget(topLine);
    layout->addWidget(scroll, 1);
    layout->addWidget(line);
    layout->addWidget(footer);

    reloadData();
}

TemplateViewController::~TemplateViewController() = default;

TemplateRowView* TemplateViewController::rowView(int row) const
{
    return row >= 0 && row < numberOfRows() ? rows.value(row) : nullptr;
}

void TemplateViewController::reloadData()
{
    // The selection stays with its template, wherever the list now has it.
    const QString selected = highlightedRow && *highlightedRow < numberOfRows()
                                 ? templateProperties[*highlightedRow].name
                                 : QString();
    templateProperties = sharedStore().templateRecords().value_or(QList<TemplateRecord>());
    if (highlightedRow) {
        highlightedRow.reset();
        for (int i = 0; i < numberOfRows(); ++i)
            if (templateProperties[i].name == selected) {
                highlightedRow = i;
                lastSelectedRow = i;
                break;
            }
    }
    const int n = numberOfRows();
    // Rows are reused: a change refills them instead of building them anew.
    while (rows.size() < n) {
        auto* row = new TemplateRowView(this, rowsHost);
        rowsLayout->insertWidget(int(rows.size()), row);
        rows.append(row);
    }
    while (rows.size() > n) {
        // Later: the switch whose click led here may sit in this row.
        TemplateRowView* row = rows.takeLast();
        row->hide();
        rowsLayout->removeWidget(row);
        row->deleteLater();
    }
    for (int i = 0; i < n; ++i)
        rows[i]->fill(i, templateProperties[i]);
    const std::optional<int> shown = highlightedRow;
    for (int i = 0; i < n; ++i)
        highlight(i, shown == i);
    lastSelectedRow = qBound(0, lastSelectedRow, qMax(0, n - 1));
    updateEmptyState();
}

void TemplateViewController::updateEmptyState()
{
    emptyLabel->setVisible(templateProperties.isEmpty());
    // Delete removes the row shown selected; while a new template is being
    // made, none is.
    deleteButton->setEnabled(highlightedRow.has_value());
}

void TemplateViewController::highlight(int row, bool on)
{
    TemplateRowView* view = rowView(row);
    if (!view)
        return;
    QColor selected = palette().color(QPalette::Active, QPalette::Highlight);
    selected.setAlpha(60);
    view->setBackgroundColor(on ? selected : QColor(Qt::transparent));
    if (on)
        highlightedRow = row;
    else if (highlightedRow == row)
        highlightedRow.reset();
    updateEmptyState();
}

void TemplateViewController::tellDelegate(const QString& name, bool isNew)
{
    if (delegate)
        delegate->templateViewControllerWithSelectedRowName(name, isNew);
}

void TemplateViewController::selectRow(int row)
{
    if (row < 0 || row >= numberOfRows())
        return;
    scroll->ensureWidgetVisible(rows[row], 0, 0);
    // Choosing the row already open keeps the assistant and what it holds.
    if (highlightedRow == row)
        return;
    if (highlightedRow)
        highlight(*highlightedRow, false);
    highlight(row, true);
    lastSelectedRow = row;
    tellDelegate(templateProperties[row].name, false);
}

void TemplateViewController::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Back in the window: other programs (a print job, quillary-stamp, a
    // second window) may have changed the store meanwhile.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && appeared) {
        sharedStore().reload();
        reloadData();
    }
}

void TemplateViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!appeared) {
        appeared = true;
        viewDidAppear();
    }
}

void TemplateViewController::viewDidAppear()
{
    if (templateProperties.isEmpty())
        return;
    lastSelectedRow = 0;
    highlight(0, true);
    tellDelegate(templateProperties.first().name, false);
}

void TemplateViewController::addPatternWithSender(QObject*)
{
    // The new template has no row yet: no row is shown selected meanwhile,
    // and a click on the row that was opens it again.
    if (highlightedRow)
        highlight(*highlightedRow, false);
    tellDelegate(QString(), true);
}

void TemplateViewController::deletePatternWithSender(QObject*)
{
    if (templateProperties.isEmpty() || !highlightedRow)
        return;
    if (!Ui::instance().confirm(window(), tr("Delete template?"), tr("Do you want to delete the selected template?"),
                                tr("Delete"), tr("Cancel")))
        return;
    const int row = qBound(0, lastSelectedRow, numberOfRows() - 1);
    const QString name = templateProperties[row].name;
    const Result removed = sharedStore().removeTemplate(name);
    if (!removed) {
        Ui::instance().alert(window(), tr("Template not deleted"),
                             tr("The template \"%1\" could not be deleted: %2")
                                 .arg(name, FailureText::sentence(removed, {sharedStore().settingsPath()})));
        reloadData();
        return;
    }
    lastSelectedRow = 0;
    highlightedRow.reset();
    reloadData();
    if (templateProperties.isEmpty()) {
        tellDelegate(QString(), true);
        return;
    }
    highlight(0, true);
    scroll->ensureWidgetVisible(rows.first(), 0, 0);
    tellDelegate(templateProperties.first().name, false);
}

void TemplateViewController::storeSwitch(std::optional<int> row, const std::function<void(TemplateRecord&)>& change)
{
    // A switch of a row that is no longer there (the list shrank): nothing to change.
    if (!row || *row < 0 || *row >= numberOfRows()) {
        reloadData();
        return;
    }
    TemplateRecord record = templateProperties[*row];
    change(record);
    const Result stored = sharedStore().updateTemplate(record);
    if (!stored)
        Ui::instance().alert(window(), tr("Template not changed"),
                             tr("The template \"%1\" could not be changed: %2")
                                 .arg(record.name, FailureText::sentence(stored, {sharedStore().settingsPath()})));
    reloadData();
}

void TemplateViewController::activateTemplateWithActiveSwitch(ActiveSwitch* sender)
{
    if (!sender)
        return;
    const bool on = sender->isChecked();
    storeSwitch(sender->rowTag, [on](TemplateRecord& record) { record.setActive(on); });
}

void TemplateViewController::switchLayerWithLayerBack(LayerSwitch* sender)
{
    if (!sender)
        return;
    const bool on = sender->isChecked();
    storeSwitch(sender->rowTag, [on](TemplateRecord& record) { record.setOverlay(on); });
}

void TemplateViewController::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        selectRow(lastSelectedRow - 1);
        return;
    case Qt::Key_Down:
        selectRow(lastSelectedRow + 1);
        return;
    case Qt::Key_Home:
        selectRow(0);
        return;
    case Qt::Key_End:
        selectRow(numberOfRows() - 1);
        return;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        deletePatternWithSender(this);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

bool TemplateViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched->objectName() == QLatin1String("counterImage") && event->type() == QEvent::MouseButtonPress) {
        emit imageClicked();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quillary
