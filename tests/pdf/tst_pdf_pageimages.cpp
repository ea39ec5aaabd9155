// Page images for previews and single-page extraction, both working through
// scratch files of the store.

#include "PdfChecks.h"
#include "pdf/TaskManager.h"
#include "store/CustomFileManager.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace quillary;

class TestPageImages : public QObject {
    Q_OBJECT
    QTemporaryDir storeDir, dir;
    QString stationery[3];

    QString document(int pages, QSizeF size = testpdfs::A4)
    {
        const QString path = dir.filePath(QStringLiteral("doc%1-%2.pdf").arg(pages).arg(size.width()));
        if (!QFileInfo::exists(path) && !testpdfs::writeNumbered(path, pages, size))
            qFatal("cannot write a test document");
        return path;
    }
    QStringList scratchFiles() const { return QDir(storeDir.path()).entryList({"prev*", "tmp*"}, QDir::Files); }
    QList<PageImage> images(const QString& doc, QPointF first = {}, QPointF cont = {})
    {
        return TaskManager::previewImages(doc, stationery[0], stationery[1], stationery[2], true, true, true, false,
                                          first.y(), first.x(), cont.x(), cont.y());
    }

private slots:
    void initTestCase()
    {
        StoreConfig config;
        config.directory = storeDir.path();
        config.print = [](const QString&) {};
        configureSharedStore(config);
        const QColor colours[3] = {Qt::red, Qt::green, Qt::yellow};
        for (int i = 0; i < 3; ++i) {
            stationery[i] = dir.filePath(QStringLiteral("stationery%1.pdf").arg(i));
            QVERIFY(testpdfs::writePdf(stationery[i], {{testpdfs::A4Whole, {}, {{QRectF(300, 600, 40, 40), colours[i]}}}}));
        }
    }

    void countAndSize_data()
    {
        QTest::addColumn<QSizeF>("documentSize");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("A4") << testpdfs::A4 << QSize(595, 842);
        QTest::newRow("Letter") << testpdfs::Letter << QSize(612, 792);
    }
    void countAndSize()
    {
        QFETCH(QSizeF, documentSize);
        QFETCH(QSize, expected);
        const QString doc = document(3, documentSize);
        const PageSize own = TaskManager::pageSize(doc);
        TaskManager::documentFormat = TaskManager::pageFormat(own.width, own.height).formatCode;
        const QList<PageImage> list = images(doc);
        QCOMPARE(scratchFiles(), QStringList()); // gone before anything is rendered
        QCOMPARE(list.size(), 4);
        for (int i = 0; i < 4; ++i)
            QVERIFY(list[i].pageIndex() == i && list[i].size() == QSizeF(expected));
        const QImage terms = list[3].render(expected); // rendered from the held bytes on demand
        QCOMPARE(terms.size(), expected);
        QCOMPARE(pdfchecks::colourAt(terms, QPointF(305, 605)), 'Y');
    }

    // Per image: 1 when the offset changed it.
    void offsetChangesItsPagesOnly_data()
    {
        QTest::addColumn<QPointF>("first");
        QTest::addColumn<QPointF>("cont");
        QTest::addColumn<QString>("changed");
        QTest::newRow("first-page offset") << QPointF(30, -20) << QPointF() << "1000";
        QTest::newRow("continuation offset") << QPointF() << QPointF(-15, 40) << "0110";
    }
    void offsetChangesItsPagesOnly()
    {
        QFETCH(QPointF, first);
        QFETCH(QPointF, cont);
        QFETCH(QString, changed);
        TaskManager::documentFormat = FormatA4;
        const QList<PageImage> before = images(document(3)), after = images(document(3), first, cont);
        QCOMPARE(before.size(), 4);
        QCOMPARE(after.size(), 4);
        QString seen;
        for (int i = 0; i < 4; ++i)
            seen += before[i].render(QSize(595, 842)) == after[i].render(QSize(595, 842)) ? '0' : '1';
        QCOMPARE(seen, changed);
    }

    void extractPage_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("expected"); // text of the page; empty: nothing
        QTest::newRow("last page") << true << 2 << "Page 3";
        QTest::newRow("past the end") << true << 3 << "";
        QTest::newRow("missing document") << false << 0 << "";
    }
    void extractPage()
    {
        QFETCH(bool, exists);
        QFETCH(int, index);
        QFETCH(QString, expected);
        TaskManager::documentFormat = FormatA4;
        const auto path = TaskManager::extractPage(exists ? document(3) : dir.filePath("absent.pdf"), index);
        QCOMPARE(path.has_value(), !expected.isEmpty());
        if (path) {
            QCOMPARE(testpdfs::pageCount(*path), 1);
            QCOMPARE(pdfchecks::text(*path), expected);
            sharedStore().deleteFile(*path);
        }
        QCOMPARE(scratchFiles(), QStringList());
    }
};

QTEST_MAIN(TestPageImages)
#include "tst_pdf_pageimages.moc"
