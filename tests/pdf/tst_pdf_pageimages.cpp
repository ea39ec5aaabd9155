// Page images for previews and single-page extraction, both working through
// scratch files of the process-wide store.

#include "PdfChecks.h"
#include "pdf/TaskManager.h"
#include "store/CustomFileManager.h"
#include "support/TestPdfs.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace quillary;

class TestPageImages : public QObject {
    Q_OBJECT

    QTemporaryDir storeDir;
    QTemporaryDir dir;
    QStringList printed;
    QString startPath, continuationPath, termsPath;

    QString document(int pages, QSizeF size)
    {
        const QString path = dir.filePath(QStringLiteral("doc%1-%2x%3.pdf").arg(pages).arg(size.width()).arg(size.height()));
        if (!QFileInfo::exists(path) && !testpdfs::writeNumbered(path, pages, size))
            qFatal("cannot write a test document");
        return path;
    }

    QStringList scratchFiles() const
    {
        return QDir(storeDir.path()).entryList({"prev*", "tmp*"}, QDir::Files);
    }

    QList<PageImage> images(const QString& doc, QPointF first = {}, QPointF continuation = {})
    {
        return TaskManager::previewImages(doc, startPath, continuationPath, termsPath, true, true, true, false,
                                          first.y(), first.x(), continuation.x(), continuation.y());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(storeDir.isValid());
        QVERIFY(dir.isValid());
        StoreConfig config;
        config.directory = storeDir.path();
        config.print = [this](const QString& line) { printed << line; };
        configureSharedStore(config);

        startPath = dir.filePath("start.pdf");
        continuationPath = dir.filePath("continuation.pdf");
        termsPath = dir.filePath("terms.pdf");
        testpdfs::TestPage start, continuation, terms;
        start.rects = {{QRectF(300, 600, 40, 40), Qt::red}};
        continuation.rects = {{QRectF(300, 600, 40, 40), Qt::green}};
        terms.rects = {{QRectF(300, 600, 40, 40), Qt::yellow}};
        QVERIFY(testpdfs::writePdf(startPath, {start}));
        QVERIFY(testpdfs::writePdf(continuationPath, {continuation}));
        QVERIFY(testpdfs::writePdf(termsPath, {terms}));
    }

    void countAndSize_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<QSizeF>("documentSize");
        QTest::addColumn<int>("expectedCount");
        QTest::addColumn<QSizeF>("expectedSize");
        QTest::newRow("three A4 pages with all stationery")
            << 3 << testpdfs::A4 << 4 << QSizeF(595, 842);
        QTest::newRow("US Letter") << 2 << testpdfs::Letter << 3 << QSizeF(612, 792);
        QTest::newRow("other format: the document's size") << 1 << QSizeF(500, 700) << 2 << QSizeF(500, 700);
    }
    void countAndSize()
    {
        QFETCH(int, pages);
        QFETCH(QSizeF, documentSize);
        QFETCH(int, expectedCount);
        QFETCH(QSizeF, expectedSize);
        const QString doc = document(pages, documentSize);
        const PageSize size = TaskManager::pageSize(doc);
        TaskManager::documentFormat = TaskManager::pageFormat(size.width, size.height).formatCode;

        const QList<PageImage> list = images(doc);
        QCOMPARE(list.size(), expectedCount);
        for (int i = 0; i < list.size(); ++i) {
            QCOMPARE(list[i].pageIndex(), i);
            QCOMPARE(list[i].size(), expectedSize);
        }
        // The scratch file is gone before the images are used.
        QCOMPARE(scratchFiles(), QStringList());

        // Rendered at whatever size they are drawn at, from the held bytes.
        const QImage small = list.first().render(QSize(119, 168));
        QCOMPARE(small.size(), QSize(119, 168));
        const QImage full = list.last().render(expectedSize.toSize());
        QCOMPARE(full.size(), expectedSize.toSize());
        // The last image is the terms page with its yellow mark.
        QCOMPARE(pdfchecks::colourName(pdfchecks::at(full, 320, 620)), QLatin1Char('Y'));
    }

    void missingDocumentGivesNoImages()
    {
        TaskManager::documentFormat = FormatA4;
        QList<PageImage> list;
        const QString out = pdfchecks::captureStdout([&] { list = images(dir.filePath("absent.pdf")); });
        QVERIFY(list.isEmpty());
        QVERIFY(out.contains("File doesnt exists"));
        QCOMPARE(scratchFiles(), QStringList());
    }

    // An offset changes the images of the pages it applies to and no others.
    void offsetChangesItsPagesOnly_data()
    {
        QTest::addColumn<QPointF>("first");
        QTest::addColumn<QPointF>("continuation");
        QTest::addColumn<QString>("changed"); // per image: 1 changed, 0 same
        QTest::newRow("first-page offset") << QPointF(30, -20) << QPointF() << "1000";
        QTest::newRow("continuation offset") << QPointF() << QPointF(-15, 40) << "0110";
        QTest::newRow("both") << QPointF(1, 0) << QPointF(0, 1) << "1110";
    }
    void offsetChangesItsPagesOnly()
    {
        QFETCH(QPointF, first);
        QFETCH(QPointF, continuation);
        QFETCH(QString, changed);
        TaskManager::documentFormat = FormatA4;
        const QString doc = document(3, testpdfs::A4);
        const QList<PageImage> before = images(doc);
        const QList<PageImage> after = images(doc, first, continuation);
        QCOMPARE(before.size(), 4);
        QCOMPARE(after.size(), 4);
        QString seen;
        for (int i = 0; i < 4; ++i) {
            const QImage a = before[i].render(QSize(595, 842));
            const QImage b = after[i].render(QSize(595, 842));
            QVERIFY(!a.isNull() && !b.isNull());
            seen += a == b ? '0' : '1';
        }
        QCOMPARE(seen, changed);
    }

    void extractPage_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("expectedText"); // empty: nothing extracted
        QTest::newRow("first page") << 0 << "Page 1";
        QTest::newRow("last page") << 2 << "Page 3";
        QTest::newRow("past the end") << 3 << "";
        QTest::newRow("negative") << -1 << "";
    }
    void extractPage()
    {
        QFETCH(int, index);
        QFETCH(QString, expectedText);
        TaskManager::documentFormat = FormatA4;
        const std::optional<QString> path = TaskManager::extractPage(document(3, testpdfs::A4), index);
        if (expectedText.isEmpty()) {
            QVERIFY(!path);
            QCOMPARE(scratchFiles(), QStringList());
            return;
        }
        QVERIFY(path);
        QCOMPARE(QFileInfo(*path).absolutePath(), QFileInfo(storeDir.path()).absoluteFilePath());
        QVERIFY(QFileInfo(*path).fileName().startsWith("tmp"));
        QCOMPARE(testpdfs::pageCount(*path), 1);
        QCOMPARE(testpdfs::mediaBox(*path), QRectF(0, 0, 595, 842));
        QCOMPARE(pdfchecks::text(*path), expectedText);
        QVERIFY(pdfchecks::information(*path).isEmpty());
        sharedStore().deleteFile(*path);
    }

    void extractFromMissingDocument()
    {
        QVERIFY(!TaskManager::extractPage(dir.filePath("absent.pdf"), 0));
        QCOMPARE(scratchFiles(), QStringList());
    }
};

QTEST_MAIN(TestPageImages)
#include "tst_pdf_pageimages.moc"
