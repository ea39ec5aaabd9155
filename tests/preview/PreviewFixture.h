#pragma once

// A store in a temporary directory with stationery pages of each kind, the
// templates a test wants, and documents whose pages carry marks to find in
// pixels. Stationery: a red band along the top of the start page, a green one
// on the continuation page, a blue square on the terms page. Document pages:
// a black square at (100, 600) and a black corner at (0, 0), 50 points each.

#include "pdf/PlainLines.h"
#include "pdf/TaskManager.h"
#include "preview/LargePreview.h"
#include "preview/PreviewController.h"
#include "preview/PreviewGeometry.h"
#include "preview/PreviewPages.h"
#include "store/CustomFileManager.h"
#include "support/TestPdfs.h"

#include <QAbstractButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace previewtests {

using quillary::PageKind;
using quillary::TemplateRecord;

inline const QColor Red(255, 0, 0), Green(0, 160, 0), Blue(0, 0, 255), Black(0, 0, 0);
inline const QRectF BandRect(0, 792, 595, 50);
inline const QRectF MarkRect(100, 600, 50, 50);
inline const QRectF CornerRect(0, 0, 50, 50);

inline QTemporaryDir& home()
{
    static QTemporaryDir dir;
    return dir;
}

inline QString file(const QString& name)
{
    return home().filePath(name);
}

// The store lives in the temporary directory for the whole test program.
inline void initStore()
{
    QVERIFY(home().isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, file("config"));
    quillary::StoreConfig config;
    config.directory = file("store");
    // The store's plain lines are not what these tests look at.
    static quillary::ScopedPlainLineSink quiet{quillary::PlainLineSink()};
    quillary::configureSharedStore(config);
    quillary::sharedStore();
}

inline QString stationeryFile(PageKind kind, QSizeF size = testpdfs::A4Whole)
{
    const QString name = QStringLiteral("stationery-%1-%2x%3.pdf").arg(int(kind)).arg(size.width()).arg(size.height());
    const QString path = file(name);
    if (QFileInfo::exists(path))
        return path;
    testpdfs::TestPage page{.size = size};
    if (kind == PageKind::Start)
        page.rects = {{QRectF(0, size.height() - 50, size.width(), 50), Red}};
    else if (kind == PageKind::Continuation)
        page.rects = {{QRectF(0, size.height() - 50, size.width(), 50), Green}};
    else
        page.rects = {{QRectF(100, 300, 300, 300), Blue}};
    [&] { QVERIFY(testpdfs::writePdf(path, {page})); }();
    return path;
}

// A template with the pages it has stored afresh.
inline TemplateRecord makeTemplate(const QString& name, const QString& docFormat, bool start, bool continuation,
                                   bool terms, bool active = true, const QString& isOverlay = QStringLiteral("0"))
{
    TemplateRecord record = TemplateRecord::created(name, QStringLiteral("Created 01.01.25"));
    record.setDocFormat(docFormat);
    record.setActive(active);
    record.properties.insert(TemplateRecord::kIsOverlay, isOverlay);
    const QSizeF size = docFormat == QLatin1String("1") ? testpdfs::Letter : testpdfs::A4Whole;
    for (PageKind kind : {PageKind::Start, PageKind::Continuation, PageKind::Terms}) {
        const bool wanted = kind == PageKind::Start ? start : kind == PageKind::Continuation ? continuation : terms;
        if (!wanted)
            continue;
        const auto imported =
            quillary::sharedStore().importPage(quillary::pageKindInfo(kind).storeKey, stationeryFile(kind, size));
        [&] { QVERIFY2(imported.value.has_value(), qPrintable(imported.error)); }();
        record.setPageIndex(kind, imported.value.value_or(0));
    }
    return record;
}

// The store's template list becomes exactly these, in this order.
inline void setTemplates(const QList<TemplateRecord>& records)
{
    auto& store = quillary::sharedStore();
    if (const auto existing = store.templateRecords())
        for (const TemplateRecord& record : *existing)
            store.deleteTemplate(record.name);
    for (auto it = records.crbegin(); it != records.crend(); ++it)
        store.addTemplate(*it);
}

// n pages with the black square and corner on each.
inline QString document(int pages, QSizeF size = testpdfs::A4Whole, const QString& name = {})
{
    const QString path = file(name.isEmpty() ? QStringLiteral("document-%1-%2x%3.pdf").arg(pages).arg(size.width()).arg(size.height())
                                             : name);
    if (QFileInfo::exists(path))
        return path;
    QList<testpdfs::TestPage> list;
    for (int i = 0; i < pages; ++i)
        list.append(testpdfs::TestPage{.size = size, .rects = {{MarkRect, Black}, {CornerRect, Black}}});
    [&] { QVERIFY(testpdfs::writePdf(path, list)); }();
    return path;
}

// Clicks a check box on its box, where a user clicks.
inline void clickBox(QAbstractButton* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

// Runs the event loop without pausing until done() (QTRY_ waits in 50 ms
// steps, long enough for a short merge to finish in between).
inline bool spinUntil(const std::function<bool()>& done, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents();
    }
    return true;
}

// Waits until the latest rebuild is on screen; false when it failed or took too long.
inline bool waitForPreview(quillary::PreviewController& preview, int timeoutMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!preview.isRebuilding() && preview.pages().isComplete() && preview.prevImage->showsFreshPage())
            return true;
    }
    return false;
}

// Colour letter (K B G C R M Y W) of the image at PDF point p of an A4 page, y upwards.
inline char colourAt(const QImage& image, QPointF p, QSizeF page = testpdfs::A4Whole)
{
    const int x = std::clamp(int(p.x() / page.width() * image.width()), 0, image.width() - 1);
    const int y = std::clamp(int((1 - p.y() / page.height()) * image.height()), 0, image.height() - 1);
    const QColor c = image.pixelColor(x, y);
    if (c.alpha() < 128) // pages render transparent where nothing is drawn: paper
        return 'W';
    return "KBGCRMYW"[(c.red() > 127) * 4 + (c.green() > 127) * 2 + (c.blue() > 127)];
}

} // namespace previewtests
