#include "guides/WindowGuide.h"

#include <QShortcut>

#include "platform/NotificationHub.h"

#include <QEvent>
#include <QMainWindow>
#include <QPainter>
#include <QVBoxLayout>

namespace quillary {

WindowGuide::WindowGuide(QWidget* host)
    : QWidget(host)
    , background(QColor::fromRgbF(0, 0, 0, 0.2))
{
    setObjectName(QStringLiteral("guideSheet"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Drawn by this view alone; nothing of the window behind is erased.
    setAttribute(Qt::WA_NoSystemBackground);
    hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

void WindowGuide::setBackgroundColor(const QColor& colour)
{
    background = colour;
    update();
}

void WindowGuide::setContentViewController(QWidget* next)
{
    QPointer<QWidget> previous = content;
    content = next;
    if (next) {
        layout()->addWidget(next);
        next->show();
        setAccessibleName(next->accessibleName());
    }
    if (previous && previous != next) {
        QObject::disconnect(&NotificationHub::instance(), nullptr, previous, nullptr);
        for (QObject* child : previous->findChildren<QObject*>())
            QObject::disconnect(&NotificationHub::instance(), nullptr, child, nullptr);
        previous->hide();
        layout()->removeWidget(previous);
        previous->deleteLater();
    }
    emit contentChanged(next);
}

WindowGuide* WindowGuide::of(const QWidget* view)
{
    for (QWidget* at = const_cast<QWidget*>(view); at; at = at->parentWidget())
        if (auto* guide = qobject_cast<WindowGuide*>(at))
            return guide;
    return nullptr;
}

void WindowGuide::paintEvent(QPaintEvent*)
{
    if (background.alpha() == 0)
        return;
    QPainter painter(this);
    painter.fillRect(rect(), background);
}

// ---------------------------------------------------------------------------

CustomWindowGuide::CustomWindowGuide(QWidget* host)
    : QObject(nullptr)
    , host(host)
    , guideWindow(new WindowGuide(host))
{
    // Lives as long as its window.
    setParent(guideWindow);
    host->installEventFilter(this);
    // Another scene may need another height.
    connect(guideWindow, &WindowGuide::contentChanged, this, &CustomWindowGuide::place);
    // Escape puts the sheet away, wherever in its window the keyboard is, as
    // it does with every sheet and popover.
    WindowGuide* sheet = guideWindow;
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), sheet, sheet, &QWidget::close, Qt::WindowShortcut);
    escape->setObjectName(QStringLiteral("closeGuideSheet"));
    windowDidLoad();
}

void CustomWindowGuide::windowDidLoad()
{
    guideWindow->setWindowTitle(QString());
    if (guideWindow->isWindow())
        guideWindow->setWindowFlag(Qt::FramelessWindowHint, true);
    guideWindow->setAttribute(Qt::WA_TranslucentBackground);
    guideWindow->setBackgroundColor(Qt::transparent);
}

WindowGuide* CustomWindowGuide::sheetOf(const QWidget* host)
{
    if (!host)
        return nullptr;
    const QList<WindowGuide*> sheets = host->findChildren<WindowGuide*>(QString(), Qt::FindDirectChildrenOnly);
    for (WindowGuide* sheet : sheets)
        if (!sheet->isHidden())
            return sheet;
    return nullptr;
}

void CustomWindowGuide::showWindow()
{
    place();
    guideWindow->show();
    guideWindow->raise();
}

void CustomWindowGuide::place()
{
    if (!host || !guideWindow)
        return;
    // Below the menu bar: over the content of a main window.
    QRect area = host->rect();
    if (auto* mainWindow = qobject_cast<QMainWindow*>(host.data()); mainWindow && mainWindow->centralWidget())
        area = mainWindow->centralWidget()->geometry();
    area.adjust(Margin, Margin, -Margin, -Margin);
    const int height = qMin(area.height(), qMax(guideWindow->sizeHint().height(), 200));
    guideWindow->setGeometry(area.left(), area.top(), qMin(Width, area.width()), height);
}

bool CustomWindowGuide::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == host && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
        place();
    return QObject::eventFilter(watched, event);
}

} // namespace quillary
