// White page backgrounds found by scanning page 1's own content stream.

#include "pdf/TaskManager.h"
#include "support/TestPdfs.h"

#include <QTemporaryDir>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <QtTest>

using namespace quillary;

class TestWhiteBackground : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    int files = 0;

    QString next() { return dir.filePath(QStringLiteral("page%1.pdf").arg(++files)); }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void contentStream_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("expected");

        QTest::newRow("white by sc, A4 rectangle") << QByteArray("1 1 1 sc 0 0 595 842 re f") << true;
        QTest::newRow("white by k") << QByteArray("0 0 0 0 k 0 0 595 842 re f") << true;
        QTest::newRow("real operands") << QByteArray("1.0 1.0 1.0 sc 0.0 0.0 595.3 841.9 re f") << true;
        QTest::newRow("US Letter rectangle is not page-sized")
            << QByteArray("1 1 1 sc 0 0 612 792 re f") << false;
        QTest::newRow("height must exceed 800") << QByteArray("1 1 1 sc 0 0 595 800 re f") << false;
        QTest::newRow("just over 800 high") << QByteArray("1 1 1 sc 0 0 595 800.5 re f") << true;
        QTest::newRow("width must exceed 500") << QByteArray("1 1 1 sc 0 0 500 842 re f") << false;
        QTest::newRow("negative height never counts") << QByteArray("1 1 1 sc 0 842 595 -842 re f") << false;
        QTest::newRow("position is not tested") << QByteArray("1 1 1 sc -300 5000 595 842 re f") << true;
        QTest::newRow("rectangle before colour") << QByteArray("0 0 595 842 re 1 1 1 sc f") << true;
        QTest::newRow("q clears the colour") << QByteArray("1 1 1 sc q 0 0 595 842 re f") << false;
        QTest::newRow("Q clears the rectangle") << QByteArray("q 1 1 1 sc 0 0 595 842 re Q f") << false;
        QTest::newRow("small fill clears both")
            << QByteArray("1 1 1 sc 0 0 10 10 re f 0 0 595 842 re f") << false;
        QTest::newRow("rg is not looked at") << QByteArray("1 1 1 rg 0 0 595 842 re f") << false;
        QTest::newRow("g is not looked at") << QByteArray("1 g 0 0 595 842 re f") << false;
        QTest::newRow("scn is not looked at") << QByteArray("1 1 1 scn 0 0 595 842 re f") << false;
        QTest::newRow("f* is not a fill here") << QByteArray("1 1 1 sc 0 0 595 842 re f*") << false;
        QTest::newRow("B is not a fill here") << QByteArray("1 1 1 sc 0 0 595 842 re B") << false;
        QTest::newRow("grey sc: missing operands count as 0") << QByteArray("1 sc 0 0 595 842 re f") << false;
        QTest::newRow("sc takes the last three operands") << QByteArray("0 1 1 1 sc 0 0 595 842 re f") << true;
        QTest::newRow("CMYK sc is not white") << QByteArray("0 0 0 0 sc 0 0 595 842 re f") << false;
        QTest::newRow("k without operands counts as white") << QByteArray("k 0 0 595 842 re f") << true;
        QTest::newRow("k with a name operand counts it as 0") << QByteArray("/X 0 0 0 k 0 0 595 842 re f") << true;
        QTest::newRow("non-white k") << QByteArray("0 0 0 0.1 k 0 0 595 842 re f") << false;
        QTest::newRow("re pops height first: x and y may be missing")
            << QByteArray("1 1 1 sc 595 842 re f") << true;
        QTest::newRow("re with height only has width 0") << QByteArray("1 1 1 sc 842 re f") << false;
        QTest::newRow("found stays found") << QByteArray("1 1 1 sc 0 0 595 842 re f q Q 0 0 1 1 re f") << true;
        QTest::newRow("colour kept across fills") << QByteArray("1 1 1 sc 0 0 595 842 re f 0 0 600 900 re f") << true;
        QTest::newRow("operands do not leak past an operator")
            << QByteArray("1 1 1 0 0 595 842 re sc f") << false;
        QTest::newRow("text and images around it")
            << QByteArray("BT /F1 12 Tf (x) Tj ET BI /W 1 /H 1 /CS /G /BPC 8 ID \xff EI 1 1 1 sc 0 0 595 842 re f")
            << true;
        QTest::newRow("no content") << QByteArray("") << false;
    }
    void contentStream()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, expected);
        const QString path = next();
        QVERIFY(testpdfs::writeRaw(path, content));
        QCOMPARE(TaskManager::hasWhiteBackground(path), expected);
    }

    void onlyPageOneCounts()
    {
        testpdfs::TestPage plain, white;
        white.whiteBackground = true;
        const QString second = next();
        QVERIFY(testpdfs::writePdf(second, {plain, white}));
        QVERIFY(!TaskManager::hasWhiteBackground(second));
        const QString first = next();
        QVERIFY(testpdfs::writePdf(first, {white, plain}));
        QVERIFY(TaskManager::hasWhiteBackground(first));
    }

    // A white fill inside a form the page draws is not looked at.
    void formsAreNotEntered()
    {
        const QString path = next();
        QVERIFY(testpdfs::writeRaw(path, "/Fm0 Do"));
        // Add the form to the page's resources with qpdf.
        QPDF pdf;
        pdf.processFile(QFile::encodeName(path).constData());
        QPDFObjectHandle form = QPDFObjectHandle::newStream(&pdf, "1 1 1 sc 0 0 595 842 re f");
        form.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
        form.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
        form.getDict().replaceKey("/BBox", QPDFObjectHandle::parse("[0 0 595 842]"));
        QPDFObjectHandle page = QPDFPageDocumentHelper(pdf).getAllPages().front().getObjectHandle();
        QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
        xobjects.replaceKey("/Fm0", form);
        page.getKey("/Resources").replaceKey("/XObject", xobjects);
        const QString withForm = next();
        const QByteArray fileName = QFile::encodeName(withForm); // the writer keeps the pointer
        QPDFWriter writer(pdf, fileName.constData());
        writer.write();
        QVERIFY(!TaskManager::hasWhiteBackground(withForm));
    }

    void unreadableFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing file") << "missing";
        QTest::newRow("not a PDF") << "garbage";
        QTest::newRow("no pages") << "empty";
    }
    void unreadableFiles()
    {
        QFETCH(QString, kind);
        const QString path = next();
        if (kind == "garbage")
            QVERIFY(testpdfs::writeBytes(path, "1 1 1 sc 0 0 595 842 re f"));
        else if (kind == "empty")
            QVERIFY(testpdfs::writeZeroPages(path));
        QVERIFY(!TaskManager::hasWhiteBackground(path));
    }
};

QTEST_MAIN(TestWhiteBackground)
#include "tst_pdf_whitebackground.moc"
