// How fast the template window opens and scrolls with 200 templates.
//
// The store is filled once with 200 templates, each with its own stored start
// page (a letterhead with text and rules). Measured, on the offscreen
// platform:
//   - opening: creating the window, reading the list, building the rows and
//     the first paint (start-page thumbnails not yet rendered);
//   - opening until every visible thumbnail is rendered and painted;
//   - one scroll step of the list (a quarter row) with its repaint, thumbnails
//     of rows coming into view requested from the render worker.

#include "pdf/PlainLines.h"
#include "store/CustomFileManager.h"
#include "templates/MainViewController.h"
#include "templates/PageThumbnails.h"
#include "templates/TemplateViewController.h"
#include "templates/TemplateWindow.h"

#include <QApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace quillary;

namespace {

constexpr int Templates = 200;

QString letterhead(const QString& dir, int i)
{
    const QString path = dir + QStringLiteral("/letterhead%1.pdf").arg(i);
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(72);
    QPainter painter(&writer);
    painter.fillRect(QRect(0, 0, 595, 60), QColor::fromHsv(i * 7 % 360, 120, 200));
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 18));
    painter.drawText(40, 40, QStringLiteral("Company %1 Ltd").arg(i));
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 7));
    for (int line = 0; line < 6; ++line)
        painter.drawText(40, 780 + line * 9, QStringLiteral("Street %1, bank details, register court, VAT number").arg(line));
    painter.drawLine(40, 770, 555, 770);
    return path;
}

void fillStore(const QString& dir)
{
    CustomFileManager& store = sharedStore();
    for (int i = 0; i < Templates; ++i) {
        TemplateEdit edit;
        edit.typedName = QStringLiteral("Template %1").arg(i + 1, 3, 10, QLatin1Char('0'));
        edit.source(PageKind::Start) = letterhead(dir, i);
        if (!store.saveTemplate(edit).ok())
            qFatal("cannot fill the store");
    }
}

// Paints the whole window as the screen would get it.
void paint(QWidget* widget)
{
    static QImage target;
    if (target.size() != widget->size())
        target = QImage(widget->size(), QImage::Format_ARGB32_Premultiplied);
    widget->render(&target);
}

std::unique_ptr<TemplateWindow> openWindow()
{
    auto window = std::make_unique<TemplateWindow>();
    window->show();
    QCoreApplication::processEvents();
    paint(window.get());
    return window;
}

// Opens the window from a cold thumbnail cache, then (untimed) closes it.
// untilThumbnails: also waits for the visible start pages and paints them.
void openAndClose(benchmark::State& state, bool untilThumbnails)
{
    for (auto _ : state) {
        state.PauseTiming();
        PageThumbnails::instance().clear();
        state.ResumeTiming();
        auto window = openWindow();
        if (untilThumbnails) {
            PageThumbnails::instance().waitForRenders();
            paint(window.get());
        }
        state.PauseTiming();
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
    state.counters["rows"] = Templates;
}

void BM_OpenTemplateWindow(benchmark::State& state)
{
    openAndClose(state, false);
}
BENCHMARK(BM_OpenTemplateWindow)->Unit(benchmark::kMillisecond);

void BM_OpenUntilThumbnailsShown(benchmark::State& state)
{
    openAndClose(state, true);
}
BENCHMARK(BM_OpenUntilThumbnailsShown)->Unit(benchmark::kMillisecond);

void BM_ScrollStep(benchmark::State& state)
{
    PageThumbnails::instance().clear();
    auto window = openWindow();
    QScrollArea* list = window->mainView()->templateList()->tableView();
    QScrollBar* bar = list->verticalScrollBar();
    int direction = 1;
    for (auto _ : state) {
        int next = bar->value() + direction * TemplateViewController::RowHeight / 4;
        if (next > bar->maximum() || next < 0) {
            direction = -direction;
            next = bar->value() + direction * TemplateViewController::RowHeight / 4;
        }
        bar->setValue(next);
        paint(list->viewport());
        // Renders finished meanwhile are painted with the next step, as on screen.
        QCoreApplication::sendPostedEvents(&PageThumbnails::instance());
    }
    state.counters["rows"] = Templates;
    state.counters["range_px"] = bar->maximum();
}
BENCHMARK(BM_ScrollStep)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    static QTemporaryDir dir;
    StoreConfig config;
    config.directory = dir.filePath(QStringLiteral("store"));
    configureSharedStore(config);
    ScopedPlainLineSink quiet({});
    registerTemplateScenes();

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    fillStore(dir.path());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
