// White page backgrounds found by scanning page 1's own content stream.

#include "pdf/TaskManager.h"
#include "support/TestPdfs.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace quillary;

class TestWhiteBackground : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void scan_data()
    {
        QTest::addColumn<QByteArray>("page1"); // "missing", "garbage" or content
        QTest::addColumn<QByteArray>("page2");
        QTest::addColumn<bool>("expected");
        const QByteArray white = "1 1 1 sc 0 0 595 842 re f";
        QTest::newRow("sc white A4 fill") << white << QByteArray() << true;
        QTest::newRow("k white") << QByteArray("0 0 0 0 k 0 0 595 842 re f") << QByteArray() << true;
        QTest::newRow("Letter rectangle") << QByteArray("1 1 1 sc 0 0 612 792 re f") << white << false;
        QTest::newRow("q between") << QByteArray("1 1 1 sc q 0 0 595 842 re f") << QByteArray() << false;
        QTest::newRow("small fill clears both") << QByteArray("1 1 1 sc 0 0 9 9 re f 0 0 595 842 re f") << QByteArray() << false;
        QTest::newRow("rg is not looked at") << QByteArray("1 1 1 rg 0 0 595 842 re f") << QByteArray() << false;
        QTest::newRow("second page never looked at") << QByteArray() << white << false;
        QTest::newRow("garbage") << QByteArray("garbage") << QByteArray() << false;
        QTest::newRow("missing") << QByteArray("missing") << QByteArray() << false;
    }
    void scan()
    {
        QFETCH(QByteArray, page1);
        QFETCH(QByteArray, page2);
        QFETCH(bool, expected);
        const QString path = dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".pdf");
        if (page1 == "garbage") {
            QVERIFY(testpdfs::writeBytes(path, "%PDF-1.4\n1 1 1 sc 0 0 595 842 re f"));
        } else if (page1 != "missing") {
            QList<testpdfs::TestPage> pages(2);
            pages[0].rawContent = QString::fromLatin1(page1);
            pages[1].rawContent = QString::fromLatin1(page2);
            QVERIFY(testpdfs::writePdf(path, pages));
        }
        QCOMPARE(TaskManager::hasWhiteBackground(path), expected);
    }
};

QTEST_MAIN(TestWhiteBackground)
#include "tst_pdf_whitebackground.moc"
