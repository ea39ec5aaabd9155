// A long document in the preview comes in ranges of pages, merged as the
// strip and the large preview want them: every page looks as it does when
// the document is merged whole, however the toggles stand, only a few
// ranges are kept however far the strip is scrolled, and a document whose
// pages cannot be read alone is merged whole after all.

#include "PreviewFixture.h"
#include "preview/CustomCollectionView.h"

#include <QCheckBox>
#include <QDir>
#include <QScrollBar>

using namespace quillary;
using namespace previewtests;

namespace {

// Ranges of 4 pages from 5 pages on; rangesFrom 0: merged whole.
struct RangeSettings {
    explicit RangeSettings(int from, int size = 4)
    {
        PreviewController::rangesFrom = from;
        PreviewController::pagesPerRange = size;
    }
    ~RangeSettings()
    {
        PreviewController::rangesFrom = 2000;
        PreviewController::pagesPerRange = 200;
    }
};

// The large preview's image of page index, rendered fresh.
QImage largeImage(PreviewController& preview, int index)
{
    preview.collectionView->setSelectedIndex(index);
    if (!spinUntil([&] {
            return preview.prevImage->index() == index && preview.prevImage->showsFreshPage()
                   && !preview.isRebuilding();
        }))
        return {};
    return preview.prevImage->image();
}

} // namespace

class TestPreviewRanges : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initStore();
        setTemplates({makeTemplate("T", "0", true, true, true)});
    }

    void pagesAsWhenMergedWhole_data()
    {
        QTest::addColumn<QStringList>("clicked");
        QTest::newRow("every stationery page") << QStringList();
        QTest::newRow("follow pages off") << QStringList{"follow"};
        QTest::newRow("first page and terms off") << QStringList{"first", "terms"};
    }

    void pagesAsWhenMergedWhole()
    {
        QFETCH(QStringList, clicked);
        const QString doc = document(23);
        const QList<int> looked{0, 1, 3, 4, 9, 20, 22, 23};
        QList<QImage> expected, shown;
        for (const bool inRanges : {false, true}) {
            RangeSettings settings(inRanges ? 5 : 0);
            auto preview = openPreview(doc);
            QVERIFY(preview);
            for (const QString& name : clicked) {
                QAbstractButton* toggle = name == "follow" ? preview->contButton
                                          : name == "first" ? preview->startButton
                                                            : preview->agbButton;
                clickBox(toggle);
                QVERIFY(waitForPreview(*preview));
            }
            QCOMPARE(preview->pages().isRanged(), inRanges);
            const int count = 23 + (clicked.contains("terms") ? 0 : 1);
            QCOMPARE(preview->pages().count(), count);
            QList<QImage>& images = inRanges ? shown : expected;
            for (const int index : looked)
                if (index < count)
                    images << largeImage(*preview, index);
        }
        QCOMPARE(shown.size(), expected.size());
        for (qsizetype i = 0; i < shown.size(); ++i) {
            QVERIFY2(!shown[i].isNull(), qPrintable(QStringLiteral("page %1 not shown").arg(looked[i] + 1)));
            QVERIFY2(shown[i] == expected[i], qPrintable(QStringLiteral("page %1").arg(looked[i] + 1)));
        }
    }

    // Scrolled end to end: each screen of pages is shown, and no more than
    // a few ranges are held at any moment.
    void scrolledEndToEndKeepsFewRanges()
    {
        // Ranges longer than the strip's window, as they are in use.
        RangeSettings settings(5, 10);
        auto preview = openPreview(document(61));
        QVERIFY(preview);
        QVERIFY(preview->pages().isRanged());
        CustomCollectionView& strip = *preview->collectionView;
        QScrollBar* bar = strip.horizontalScrollBar();
        QVERIFY(bar->maximum() > 0);
        int most = 0;
        for (int value = 0; value < bar->maximum() + strip.viewport()->width(); value += strip.viewport()->width()) {
            bar->setValue(value);
            QVERIFY(spinUntil([&] { return strip.visiblePagesFresh(); }));
            most = std::max(most, preview->pages().loadedRanges());
        }
        QVERIFY2(most <= PreviewPages::KeptRanges, qPrintable(QString::number(most)));
        // The large preview still shows page 1, fresh, and can show it
        // magnified: its range came back when the strip's pushed it out.
        QCOMPARE(preview->prevImage->index(), 0);
        QVERIFY(spinUntil([&] { return preview->prevImage->showsFreshPage(); }));
        QVERIFY(!preview->pages().entry(0).isNull());
        QVERIFY(!strip.cachedImage(61).isNull()); // the terms page, last
        QVERIFY(strip.cachedImage(0).isNull() || strip.imageCache().size() <= CustomCollectionView::kCacheCapacity);
    }

    // A range that fails (the document gone, a folder in its place) says
    // why, like a failed whole merge; it is no reason to give up ranges, so
    // the next rebuild of the document, back again, shows them in ranges.
    void aFailedRangeSaysWhy()
    {
        RangeSettings settings(5, 4);
        const QString doc = file("vanishing.pdf");
        QFile::remove(doc);
        QVERIFY(QFile::copy(document(40), doc));
        auto preview = openPreview(doc);
        QVERIFY(preview);
        QVERIFY(preview->pages().isRanged());
        QVERIFY(QFile::remove(doc));
        QVERIFY(QDir().mkdir(doc));
        preview->collectionView->setSelectedIndex(30);
        QVERIFY(spinUntil([&] { return preview->pages().count() == 0; }));
        QVERIFY2(preview->collectionView->accessibleDescription().contains("could not be made"),
                 qPrintable(preview->collectionView->accessibleDescription()));
        QVERIFY(QDir().rmdir(doc));
        QVERIFY(QFile::copy(document(40), doc));
        clickBox(preview->contButton);
        QVERIFY(waitForPreview(*preview));
        QVERIFY(preview->pages().isRanged());
        QCOMPARE(preview->pages().count(), 41);
    }

    // The page count of a long document is read whole, in the language
    // that words it longest.
    void longPageCountFits()
    {
        auto preview = openPreview(document(3));
        QVERIFY(preview);
        preview->statusLabel->setText(QStringLiteral("Seite 100000 von 100000"));
        QVERIFY(spinUntil([&] { return preview->statusLabel->width() >= preview->statusLabel->sizeHint().width(); },
                          2000));
    }

    // The document changes after it was indexed: its ranges can no longer
    // be read alone, and the preview merges it whole instead.
    void mergedWholeWhenRangesDecline()
    {
        RangeSettings settings(5, 4);
        const QString doc = file("changing.pdf");
        QFile::remove(doc);
        QVERIFY(QFile::copy(document(40), doc));
        auto preview = openPreview(doc);
        QVERIFY(preview);
        QVERIFY(preview->pages().isRanged());
        QFile grown(doc);
        QVERIFY(grown.open(QIODevice::Append));
        grown.write("\n% appended\n");
        grown.close();
        QVERIFY(!largeImage(*preview, 30).isNull());
        QVERIFY(waitForPreview(*preview));
        QVERIFY(!preview->pages().isRanged());
        QCOMPARE(preview->pages().count(), 41);
        QCOMPARE(colourAt(largeImage(*preview, 30), MarkRect.center()), 'K');
    }
};

QTEST_MAIN(TestPreviewRanges)
#include "tst_previewranges.moc"
