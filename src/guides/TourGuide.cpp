#include "guides/TourGuide.h"

#include "controls/ShadowView.h"
#include "guides/GuideSheet.h"
#include "guides/WindowGuide.h"
#include "templates/ConfigurationAssistantController.h"
#include "templates/MainViewController.h"
#include "templates/TemplateImageViewContainer.h"
#include "templates/TemplateViewController.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillary {

namespace {

constexpr int CardWidth = 380;
constexpr int WideCardWidth = 640;
constexpr int Gap = 14;
constexpr int EdgeMargin = 12;

} // namespace

QString TourTipView::title(int number)
{
    switch (number) {
    case 1: return tr("Your templates");
    case 2: return tr("A new template");
    case 3: return tr("Your stationery");
    case 4: return tr("Enabled, and behind the content");
    default: return tr("Save");
    }
}

QString TourTipView::text(int number)
{
    switch (number) {
    case 1: return tr("Every template you keep is listed here. Click one to edit it in the assistant on the right.");
    case 2: return tr("Click + to start a new template. \u2212 deletes the template that is selected.");
    case 3:
        return tr("Drop your letterhead PDF on the start page, or click + below a page. The other two pages are "
                  "optional; the guide on the left shows how.");
    case 4:
        return tr("Only enabled templates are offered when you print. \"Behind content\" lays the stationery behind "
                  "the text of your document; off, it is drawn over it.");
    default:
        return tr("Name the template and save it. The first save also makes Quillary a printer: print from any "
                  "program, choose Quillary, and your stationery is laid onto the document.");
    }
}

TourTipView::TourTipView(int number, MainViewController* main)
    : tip(number)
    , main(main)
{
    setObjectName(QStringLiteral("tourTip%1").arg(number));
    setAccessibleName(tr("Tour tip %1 of %2").arg(number).arg(Count));
    setAccessibleDescription(text(number));
    setCornerRadius(10);
    setBorderWidth(2);
    setBorderColor(QColor(255, 255, 255, 190));
    setFocusPolicy(Qt::StrongFocus);

    // The slots' tip has room only below the slots: a wide, low card there.
    const bool wide = number == 3;
    cardView = new ShadowView(this);
    cardView->setObjectName(QStringLiteral("tourCard"));
    cardView->setShadowRadius(12);
    cardView->setFixedWidth(wide ? WideCardWidth : CardWidth);
    auto* heading = new QLabel(title(number), cardView);
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    heading->setFont(bold);
    auto* body = new QLabel(text(number), cardView);
    body->setWordWrap(true);
    body->setTextFormat(Qt::PlainText);
    auto* step = new QLabel(tr("%1 of %2").arg(number).arg(Count), cardView);
    step->setForegroundRole(QPalette::PlaceholderText);

    close = new QPushButton(number == Count ? tr("Done") : tr("Close"), cardView);
    close->setProperty("tag", number);
    close->setAccessibleName(tr("Close tour tip"));
    connect(close, &QPushButton::clicked, this, [this] {
        if (this->main)
            this->main->dissmisSheetWithSender(close);
    });
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addWidget(step, 1);
    buttons->addWidget(close);
    if (number < Count) {
        next = new QPushButton(tr("Next"), cardView);
        next->setAccessibleName(tr("Next tour tip"));
        next->setDefault(true);
        buttons->addWidget(next);
        connect(next, &QPushButton::clicked, this, [this] {
            if (!this->main)
                return;
            switch (tip) {
            case 1: this->main->navigateToSecondToolTip(); break;
            case 2: this->main->navigateToThirdToolTip(); break;
            case 3: this->main->navigateToFourthToolTip(); break;
            default: this->main->navigateToFifthToolTip(); break;
            }
        });
    } else {
        close->setDefault(true);
    }

    auto* texts = new QVBoxLayout;
    texts->setSpacing(wide ? 4 : 8);
    texts->addWidget(heading);
    texts->addWidget(body);
    if (wide) {
        auto* layout = new QHBoxLayout(cardView);
        layout->setContentsMargins(18, 10, 16, 10);
        layout->setSpacing(18);
        layout->addLayout(texts, 1);
        auto* side = new QVBoxLayout;
        side->addStretch(1);
        side->addLayout(buttons);
        layout->addLayout(side);
    } else {
        auto* layout = new QVBoxLayout(cardView);
        layout->setContentsMargins(18, 14, 18, 14);
        layout->setSpacing(8);
        layout->addLayout(texts);
        layout->addSpacing(4);
        layout->addLayout(buttons);
    }
}

QList<QWidget*> TourTipView::targets() const
{
    if (!main)
        return {};
    TemplateViewController* list = main->templateList();
    ConfigurationAssistantController* assistant = main->assistant();
    switch (tip) {
    case 1:
        return {list->tableView()};
    case 2:
        return {list->addTemplateButton()};
    case 3: {
        QList<QWidget*> pages;
        for (int tag = 1; tag <= 3; ++tag)
            if (TemplateImageViewContainer* container = assistant ? assistant->slotContainer(tag) : nullptr)
                pages << container->parentWidget();
        return pages;
    }
    case 4: {
        TemplateRowView* row = list->rowView(list->lastSelectedRow);
        if (!row)
            return {list->tableView()};
        QList<QWidget*> switches{row->activeSwitch(), row->layerSwitch()};
        for (QLabel* caption : row->findChildren<QLabel*>())
            if (caption->buddy() == row->activeSwitch() || caption->buddy() == row->layerSwitch())
                switches << caption;
        return switches;
    }
    default:
        return assistant ? QList<QWidget*>{assistant->configureButton} : QList<QWidget*>{};
    }
}

QRect TourTipView::targetRect() const
{
    QRect united;
    for (QWidget* target : targets())
        if (target && target->isVisible())
            united |= QRect(target->mapTo(main.data(), QPoint(0, 0)), target->size());
    if (united.isEmpty())
        return {};
    return united.adjusted(-Padding, -Padding, Padding, Padding).intersected(main->rect());
}

void TourTipView::relayout()
{
    relayoutQueued = false;
    if (!main)
        return;
    const QRect target = targetRect();
    setHighlightPoint(QRectF(target));
    placeCard(target);
}

void TourTipView::placeCard(const QRect& around)
{
    const int width = cardView->width() > 0 ? cardView->width() : CardWidth;
    QLayout* layout = cardView->layout();
    const int height = layout->hasHeightForWidth() ? layout->totalHeightForWidth(width)
                                                   : cardView->sizeHint().height();
    const QRect bounds = rect().adjusted(EdgeMargin, EdgeMargin, -EdgeMargin, -EdgeMargin);
    auto clampX = [&](int x) { return qBound(bounds.left(), x, qMax(bounds.left(), bounds.right() + 1 - width)); };
    auto clampY = [&](int y) { return qBound(bounds.top(), y, qMax(bounds.top(), bounds.bottom() + 1 - height)); };
    const QRect right(around.right() + 1 + Gap, clampY(around.top()), width, height);
    const QRect left(around.left() - Gap - width, clampY(around.top()), width, height);
    const QRect below(clampX(around.center().x() - width / 2), around.bottom() + 1 + Gap, width, height);
    const QRect above(clampX(around.center().x() - width / 2), around.top() - Gap - height, width, height);
    QList<QRect> order;
    switch (tip) {
    case 3: order = {below, above, right, left}; break;
    case 5: order = {left, above, right, below}; break;
    default: order = {right, below, above, left}; break;
    }
    QRect chosen;
    for (const QRect& candidate : order)
        if (bounds.contains(candidate) && !candidate.intersects(around)) {
            chosen = candidate;
            break;
        }
    if (chosen.isNull()) // nowhere beside it: in the lower right corner
        chosen = QRect(bounds.right() + 1 - width, bounds.bottom() + 1 - height, width, height);
    cardView->setGeometry(chosen);
}

void TourTipView::watchTargets()
{
    for (const QPointer<QWidget>& widget : std::as_const(watched))
        if (widget)
            widget->removeEventFilter(this);
    watched.clear();
    if (!main)
        return;
    // The controls and everything between them and the main view: a row
    // scrolled in the list moves its switches without moving them in the row.
    QList<QWidget*> chain{main->templateConfigView};
    for (QWidget* target : targets())
        for (QWidget* at = target; at && at != main; at = at->parentWidget())
            if (!chain.contains(at))
                chain << at;
    for (QWidget* widget : chain) {
        widget->installEventFilter(this);
        watched << widget;
    }
}

bool TourTipView::eventFilter(QObject* watchedObject, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::LayoutRequest:
    case QEvent::ChildAdded:
    case QEvent::ChildRemoved:
        if (!relayoutQueued && isVisible()) {
            relayoutQueued = true;
            QTimer::singleShot(0, this, [this] {
                watchTargets();
                relayout();
            });
        }
        break;
    default:
        break;
    }
    return FirstGuide::eventFilter(watchedObject, event);
}

void TourTipView::showEvent(QShowEvent* event)
{
    FirstGuide::showEvent(event);
    if (event->spontaneous())
        return;
    if (tip == 4 && main) {
        // The switches of the selected row, scrolled into sight.
        if (TemplateRowView* row = main->templateList()->rowView(main->templateList()->lastSelectedRow))
            main->templateList()->tableView()->ensureWidgetVisible(row, 0, 0);
    }
    watchTargets();
    relayout();
    (next ? next : close)->setFocus(Qt::OtherFocusReason);
    if (tip == 3 && main)
        showGuideSheet(main->window());
}

void TourTipView::hideEvent(QHideEvent* event)
{
    FirstGuide::hideEvent(event);
    if (event->spontaneous())
        return;
    for (const QPointer<QWidget>& widget : std::as_const(watched))
        if (widget)
            widget->removeEventFilter(this);
    watched.clear();
    // The guide sheet belongs to the slots' tip.
    if (tip == 3 && main)
        if (WindowGuide* sheet = CustomWindowGuide::sheetOf(main->window()))
            sheet->close();
}

void TourTipView::resizeEvent(QResizeEvent* event)
{
    FirstGuide::resizeEvent(event);
    relayout();
}

void TourTipView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        close->click();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        (next ? next : close)->click();
        return;
    default:
        FirstGuide::keyPressEvent(event);
    }
}

QWidget* createTourTip(int number, MainViewController* main)
{
    return new TourTipView(number, main);
}

} // namespace quillary
