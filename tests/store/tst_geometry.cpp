// Page geometry as the store uses it to record a template's paper format:
// measuring page 1, classifying the size, and the output size per format.
// The tables are tried at their edges, where an off-by-one would show.

#include "pdf/TaskManager.h"
#include "support/TestPdfs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillary;

class TestGeometry : public QObject {
    Q_OBJECT

private:
    QTemporaryDir temp;

private slots:
    void pageFormat_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("landscape");
        QTest::newRow("A4 whole points") << 595 << 842 << 1 << false;
        QTest::newRow("A4 lowest corner") << 594 << 841 << 1 << false;
        QTest::newRow("A4 highest corner") << 596 << 853 << 1 << false;
        QTest::newRow("A4 too long") << 596 << 854 << 0 << false;
        QTest::newRow("A4 too narrow") << 593 << 842 << 0 << false;
        QTest::newRow("A4 too wide") << 597 << 842 << 0 << false;
        QTest::newRow("A4 too short") << 595 << 840 << 0 << false;
        QTest::newRow("A4 landscape") << 842 << 595 << 1 << true;
        QTest::newRow("A4 landscape highest") << 853 << 594 << 1 << true;
        QTest::newRow("A4 landscape too long") << 854 << 595 << 0 << false;
        QTest::newRow("Letter") << 612 << 792 << 2 << false;
        QTest::newRow("Letter lowest corner") << 611 << 791 << 2 << false;
        QTest::newRow("Letter highest corner") << 613 << 793 << 2 << false;
        QTest::newRow("Letter too long") << 612 << 794 << 0 << false;
        QTest::newRow("Letter too narrow") << 610 << 792 << 0 << false;
        QTest::newRow("Letter landscape") << 791 << 611 << 2 << true;
        QTest::newRow("Letter landscape highest") << 793 << 613 << 2 << true;
        QTest::newRow("Letter landscape too wide") << 794 << 612 << 0 << false;
        QTest::newRow("square") << 600 << 600 << 0 << false;
        QTest::newRow("nothing") << 0 << 0 << 0 << false;
        QTest::newRow("negative") << -595 << -842 << 0 << false;
    }

    void pageFormat()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, code);
        QFETCH(bool, landscape);
        const PageFormat format = TaskManager::pageFormat(width, height);
        QCOMPARE(int(format.formatCode), code);
        QCOMPARE(format.landscape, landscape);
    }

    void standardPageSize_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("undefined") << 0 << 0 << 0;
        QTest::newRow("A4") << 1 << 595 << 842;
        QTest::newRow("US Letter") << 2 << 612 << 792;
        QTest::newRow("unknown code") << 3 << 0 << 0;
    }

    void standardPageSize()
    {
        QFETCH(int, code);
        QFETCH(int, width);
        QFETCH(int, height);
        QCOMPARE(TaskManager::standardPageSize(std::uint8_t(code)), (PageSize{width, height}));
    }

    void pageSize_data()
    {
        QTest::addColumn<QString>("make");     // how the file is made
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QSizeF>("mediaBox");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("A4 in fractions") << "page" << "a4.pdf" << testpdfs::A4 << 595 << 842;
        QTest::newRow("A4 landscape") << "page" << "a4l.pdf" << testpdfs::A4Landscape << 842 << 595;
        QTest::newRow("Letter") << "page" << "letter.pdf" << testpdfs::Letter << 612 << 792;
        QTest::newRow("half rounds up") << "page" << "half.pdf" << QSizeF(594.5, 841.5) << 595 << 842;
        QTest::newRow("below half rounds down") << "page" << "below.pdf" << QSizeF(595.49, 842.49) << 595 << 842;
        QTest::newRow("upper-case PDF") << "page" << "A4.PDF" << testpdfs::A4 << 0 << 0;
        QTest::newRow("no extension") << "page" << "a4" << testpdfs::A4 << 0 << 0;
        QTest::newRow("not a PDF") << "text" << "text.pdf" << QSizeF() << 0 << 0;
        QTest::newRow("user password") << "encrypted" << "secret.pdf" << QSizeF() << 0 << 0;
        QTest::newRow("no pages") << "zero" << "zero.pdf" << QSizeF() << 0 << 0;
        QTest::newRow("missing") << "missing" << "missing.pdf" << QSizeF() << 0 << 0;
        QTest::newRow("empty path") << "empty" << "" << QSizeF() << 0 << 0;
    }

    void pageSize()
    {
        QFETCH(QString, make);
        QFETCH(QString, fileName);
        QFETCH(QSizeF, mediaBox);
        QFETCH(int, width);
        QFETCH(int, height);
        QVERIFY(temp.isValid());
        const QString path = fileName.isEmpty() ? QString() : temp.filePath(fileName);
        if (make == "page") {
            testpdfs::TestPage page;
            page.size = mediaBox;
            QVERIFY(testpdfs::writePdf(path, {page}));
        } else if (make == "text") {
            QVERIFY(testpdfs::writeBytes(path, "no PDF here"));
        } else if (make == "encrypted") {
            QVERIFY(testpdfs::writeEncrypted(path, "user", "owner"));
        } else if (make == "zero") {
            QVERIFY(testpdfs::writeZeroPages(path));
        }
        QCOMPARE(TaskManager::pageSize(path), (PageSize{width, height}));
    }

    void pageSizeWithoutPath()
    {
        QCOMPARE(TaskManager::pageSize(std::nullopt), (PageSize{0, 0}));
    }
};

QTEST_GUILESS_MAIN(TestGeometry)
#include "tst_geometry.moc"
