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
#include <QDir>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace previewtests {

using quillary::PageKind;
using quillary::TemplateRecord;

inline const QColor Red(255, 0, 0), Green(0, 160, 0), Blue(0, 0, 255), Black(0, 0, 0);
inline const QRectF MarkRect(100, 600, 50, 50);

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
    // The store's plain lines are not what these tests look at.
    static quillary::ScopedPlainLineSink quiet{quillary::PlainLineSink()};
    quillary::configureSharedStore({.directory = file("store")});
    quillary::sharedStore();
}

// Scratch files the store holds: none once a window or a job is done.
inline QStringList scratchFiles()
{
    return QDir(file("store")).entryList({"tmp*", "prev*"}, QDir::Files);
}

inline QString stationeryFile(PageKind kind, QSizeF size = testpdfs::A4Whole)
{
    const QString path = file(QStringLiteral("stationery-%1-%2x%3.pdf").arg(int(kind)).arg(size.width()).arg(size.height()));
    const QRectF band(0, size.height() - 50, size.width(), 50);
    const std::pair<QRectF, QColor> mark = kind == PageKind::Start          ? std::pair(band, Red)
                                           : kind == PageKind::Continuation ? std::pair(band, Green)
                                                                            : std::pair(QRectF(100, 300, 300, 300), Blue);
    [&] { QVERIFY(QFileInfo::exists(path) || testpdfs::writePdf(path, {{.size = size, .rects = {mark}}})); }();
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
    for (const auto& [kind, wanted] : {std::pair{PageKind::Start, start}, {PageKind::Continuation, continuation},
                                       {PageKind::Terms, terms}}) {
        if (!wanted)
            continue;
        const auto imported = quillary::sharedStore().importPage(quillary::pageKindInfo(kind).storeKey, stationeryFile(kind, size));
        [&] { QVERIFY2(imported.value.has_value(), qPrintable(imported.error)); }();
        record.setPageIndex(kind, imported.value.value_or(0));
    }
    return record;
}

// The store's template list becomes exactly these, in this order.
inline void setTemplates(const QList<TemplateRecord>& records)
{
    auto& store = quillary::sharedStore();
    for (const TemplateRecord& record : store.templateRecords().value_or(QList<TemplateRecord>()))
        store.deleteTemplate(record.name);
    for (auto it = records.crbegin(); it != records.crend(); ++it)
        store.addTemplate(*it);
}

// n pages with the black square and corner on each.
inline QString document(int pages, QSizeF size = testpdfs::A4Whole)
{
    const QString path = file(QStringLiteral("document-%1-%2x%3.pdf").arg(pages).arg(size.width()).arg(size.height()));
    const QList<testpdfs::TestPage> list(pages, {.size = size, .rects = {{MarkRect, Black}, {QRectF(0, 0, 50, 50), Black}}});
    [&] { QVERIFY(QFileInfo::exists(path) || testpdfs::writePdf(path, list)); }();
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
    QCoreApplication::processEvents(); // what was asked for before starts first
    return spinUntil([&] { return !preview.isRebuilding() && preview.pages().isComplete() && preview.prevImage->showsFreshPage(); },
                     timeoutMs);
}

// A preview window on doc, shown with its pages merged.
inline std::unique_ptr<quillary::PreviewController> openPreview(const QString& doc)
{
    auto preview = std::make_unique<quillary::PreviewController>(doc);
    preview->show();
    [&] { QVERIFY(waitForPreview(*preview)); }();
    return preview;
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
