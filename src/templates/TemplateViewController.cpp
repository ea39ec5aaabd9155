#include "templates/TemplateViewController.h"

#include "controls/OverlayScrollBars.h"
#include "pdf/TaskManager.h"
#include "platform/FailureText.h"
#include "platform/NamedImage.h"
#include "platform/Ui.h"
#include "store/CustomFileManager.h"
#include "templates/PageThumbnails.h"
#include "templates/TemplateImageView.h"
#include "templates/TemplateListAccessibility.h"

#include <QAccessible>
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
    installTemplateListAccessibility();
    rowsHost = new TemplateRowsHost(scroll);
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
    const bool rowsCameOrWent = rows.size() != n;
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
    if (rowsCameOrWent)
        emit rowsChanged();
}

QList<QWidget*> TemplateViewController::tabChain() const
{
    QList<QWidget*> chain{const_cast<TemplateViewController*>(this)};
    for (TemplateRowView* row : rows)
        chain << row->activeSwitch() << row->layerSwitch();
    chain << addButton << deleteButton;
    return chain;
}

void TemplateViewController::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    // The selected row shows the list's focus.
    if (TemplateRowView* row = highlightedRow ? rowView(*highlightedRow) : nullptr)
        row->update();
}

void TemplateViewController::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    if (TemplateRowView* row = highlightedRow ? rowView(*highlightedRow) : nullptr)
        row->update();
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
    const bool was = view->isSelected();
    view->setSelected(on);
    if (was != on && QAccessible::isActive()) {
        QAccessible::State changed;
        changed.selected = true;
        QAccessibleStateChangeEvent event(view, changed);
        QAccessible::updateAccessibility(&event);
    }
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

bool TemplateViewController::delegateMayLeave()
{
    return !delegate || delegate->templateViewControllerMayLeaveCurrentTemplate();
}

void TemplateViewController::selectRow(int row)
{
    if (row < 0 || row >= numberOfRows())
        return;
    scroll->ensureWidgetVisible(rows[row], 0, 0);
    // Choosing the row already open keeps the assistant and what it holds.
    if (highlightedRow == row)
        return;
    if (!delegateMayLeave())
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
    if (!delegateMayLeave())
        return;
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
                                 .arg(name, FailureText::sentence(removed, {sharedStore().settingsPath()})),
                             AlertKind::Error);
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
                                 .arg(record.name, FailureText::sentence(stored, {sharedStore().settingsPath()})),
                             AlertKind::Error);
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
