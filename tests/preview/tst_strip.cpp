// The page strip renders only what is on screen, at the size and pixel
// density shown, and forgets what scrolled far away; its cache keeps the
// pages on screen whatever else it drops. Runs at twice the pixel density.

#include "PreviewFixture.h"
#include "pdf/PdfChecks.h"
#include "preview/CustomCollectionView.h"
#include "preview/PageImageCache.h"

#include <QScrollBar>

using namespace quillary;
using namespace previewtests;

// Before the application exists: a high-density screen.
static const bool highDensity = qputenv("QT_SCALE_FACTOR", "2");

struct TrimRow {
    int capacity;
    QList<int> used; // indices, in the order used
    std::pair<int, int> pinned;
    QList<int> kept;
};
Q_DECLARE_METATYPE(TrimRow)

class TestStrip : public QObject {
    Q_OBJECT

    static QList<int> cachedIndices(const CustomCollectionView& strip)
    {
        QList<int> indices;
        for (int i = 0; i < strip.model()->rowCount(); ++i)
            if (!strip.cachedImage(i).isNull())
                indices << i;
        return indices;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(highDensity);
        initStore();
        setTemplates({makeTemplate("T", "0", true, true, false)});
    }

    void rendersWhatIsShownAtItsDensity()
    {
        auto preview = openPreview(document(150));
        CustomCollectionView& strip = *preview->collectionView;
        QTRY_VERIFY(strip.visiblePagesFresh());
        QCOMPARE(strip.devicePixelRatioF(), 2.0);
        // Sharp: twice as many pixels as points, thumbnail and large preview.
        QCOMPARE(strip.cachedImage(0).devicePixelRatio(), 2.0);
        QCOMPARE(strip.cachedImage(0).size(), geometry::devicePixels(strip.thumbnailRect().size(), 2));
        QCOMPARE(preview->prevImage->image().size(), geometry::devicePixels(preview->prevImage->pageRect().size(), 2));

        // Only the pages on screen and a few beside them.
        QCOMPARE(strip.visibleRange().first, 0);
        QTRY_VERIFY(preview->pages().renderer().pendingCount() == 0);
        const QList<int> near = cachedIndices(strip);
        QVERIFY2(!near.isEmpty() && near.last() <= strip.visibleRange().second + CustomCollectionView::kPreload,
                 qPrintable(QString::number(near.last())));

        // Scrolled to the end: the end is rendered, the start forgotten, and
        // the cache never outgrows its size.
        QScrollBar* bar = strip.horizontalScrollBar();
        for (int value = 0; value < bar->maximum() + strip.viewport()->width(); value += strip.viewport()->width()) {
            bar->setValue(value);
            QTRY_VERIFY(strip.visiblePagesFresh());
            QVERIFY(strip.imageCache().size() <= CustomCollectionView::kCacheCapacity);
        }
        const QList<int> far = cachedIndices(strip);
        QVERIFY(far.contains(149) && !far.contains(0));
    }

    void cacheKeepsWhatIsShown_data()
    {
        pdfchecks::table<TrimRow>({
            {"within capacity nothing goes", {4, {0, 1, 2}, {0, 0}, {0, 1, 2}}},
            {"the least recently used go first", {3, {0, 1, 2, 3, 4}, {4, 4}, {2, 3, 4}}},
            {"pinned pages stay though old", {2, {5, 6, 0, 1, 2}, {5, 6}, {5, 6}}},
            {"used again counts as new", {3, {0, 1, 2, 3, 0}, {9, 9}, {0, 2, 3}}},
        });
    }
    void cacheKeepsWhatIsShown()
    {
        const auto row = pdfchecks::fetch<TrimRow>();
        PageImageCache cache(row.capacity);
        for (int index : row.used)
            if (cache.find(index, {1, index}, {4, 4}).image.isNull())
                cache.insert(index, {1, index}, {4, 4}, QImage(4, 4, QImage::Format_ARGB32));
        cache.trim(row.pinned.first, row.pinned.second);
        QList<int> kept;
        for (int i = 0; i < 10; ++i)
            if (!cache.find(i, {1, i}, {4, 4}).image.isNull())
                kept << i;
        QCOMPARE(kept, row.kept);
    }

    // An image of another merge or size stands in until the fresh one comes.
    // A result still being parsed when a newer rebuild starts is never
    // shown; without a newer rebuild it is.
    void supersededResultsStayOff_data()
    {
        QTest::addColumn<bool>("newerStarted");
        QTest::addColumn<QList<quint64>>("shown");
        QTest::newRow("no newer rebuild") << false << QList<quint64>{1, 2};
        QTest::newRow("newer rebuild started") << true << QList<quint64>{2};
    }

    void supersededResultsStayOff()
    {
        QFETCH(bool, newerStarted);
        QFETCH(QList<quint64>, shown);
        const QByteArray bytes = pdfchecks::bytesOf(document(2));
        PreviewPages pages;
        QList<quint64> presented;
        connect(&pages, &PreviewPages::presented, this,
                [&](quint64 generation, PreviewPages::Part) { presented << generation; });
        pages.begin(1);
        pages.present(1, PreviewPages::Part::FirstPage, bytes, false);
        if (newerStarted)
            pages.begin(2);
        pages.present(2, PreviewPages::Part::Whole, bytes, false);
        // Parsed in order: once the newer one is shown, the older one was handled.
        QTRY_VERIFY(presented.contains(2));
        QCOMPARE(presented, shown);
    }

    void staleImagesStandIn()
    {
        PageImageCache cache(4);
        cache.insert(0, {1, 0}, {4, 4}, QImage(4, 4, QImage::Format_ARGB32));
        const auto hit = cache.find(0, {2, 0}, {4, 4});
        QVERIFY(!hit.image.isNull() && !hit.fresh);
        QVERIFY(!cache.find(0, {1, 0}, {8, 8}).fresh);
        cache.carryOver(0, {1, 0}, {2, 0});
        QVERIFY(cache.find(0, {2, 0}, {4, 4}).fresh);
        cache.truncate(0);
        QCOMPARE(cache.size(), 0);
    }
};

QTEST_MAIN(TestStrip)
#include "tst_strip.moc"
