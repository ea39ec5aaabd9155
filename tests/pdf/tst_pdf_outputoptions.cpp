// Document information and protection of merged files, read back with qpdf.

#include "PdfChecks.h"
#include "pdf/TaskManager.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace quillary;

namespace {
const QString Absent = QStringLiteral("<absent>"); // key left out of the options
void put(SaveOptionsMap& options, SaveOptions key, const QString& value)
{
    if (value != Absent)
        options.insert(key, value);
}
} // namespace

class TestOutputOptions : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    PdfResult merge(const SaveOptionsMap& options, const QString& output)
    {
        const QString document = dir.filePath("doc.pdf");
        if (!QFileInfo::exists(document))
            testpdfs::writeNumbered(document, 2);
        MergeRequest r;
        r.documentPath = document;
        r.outputPath = output;
        r.options = options;
        return TaskManager::mergeDocument(r);
    }

private slots:
    void initTestCase() { TaskManager::documentFormat = FormatA4; }

    void information_data()
    {
        QTest::addColumn<QString>("author");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty text") << "" << "" << QStringList{"Author=", "Creator=Quillary", "Title="};
        QTest::newRow("absent keys") << Absent << Absent << QStringList{"Creator=Quillary"};
        QTest::newRow("both given") << "Ada" << "Brief an Müller"
                                    << QStringList{"Author=Ada", "Creator=Quillary", "Title=Brief an Müller"};
    }
    void information()
    {
        QFETCH(QString, author);
        QFETCH(QString, title);
        QFETCH(QStringList, expected);
        SaveOptionsMap options;
        put(options, SaveOptions::AUTHOR, author);
        put(options, SaveOptions::TITLE, title);
        const QString output = dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".pdf");
        QVERIFY(merge(options, output));
        QCOMPARE(pdfchecks::information(output), expected);
    }

    // expected: "plain" not encrypted; "locked" needs the password, may print;
    // "noprint" opens, printing and copying forbidden; "refused" no file.
    void protection_data()
    {
        QTest::addColumn<bool>("withPassword");
        QTest::addColumn<bool>("allowPrint");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("owner");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no password, print allowed") << false << true << "secret" << "" << "plain";
        QTest::newRow("user password") << true << true << "secret" << "" << "locked";
        QTest::newRow("print forbidden, empty owner") << false << false << "" << "" << "noprint";
        QTest::newRow("Unicode password") << true << true << QString::fromUtf8("Pässwörd€") << Absent << "locked";
        QTest::newRow("empty password") << true << true << "" << "boss" << "refused";
    }
    void protection()
    {
        QFETCH(bool, withPassword);
        QFETCH(bool, allowPrint);
        QFETCH(QString, password);
        QFETCH(QString, owner);
        QFETCH(QString, expected);
        SaveOptionsMap options{{SaveOptions::WITH_PASSWORD, withPassword}, {SaveOptions::ALLOW_PRINT, allowPrint},
                               {SaveOptions::PASSWORD, password}};
        put(options, SaveOptions::OWNER_PASSWORD, owner);
        const QString output = dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".pdf");
        const PdfResult result = merge(options, output);
        if (expected == "refused") {
            QVERIFY(!result.ok && result.error.contains(output));
            QVERIFY(!QFileInfo::exists(output));
            return;
        }
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(bool(pdfchecks::open(output)), expected != "locked");
        auto pdf = pdfchecks::open(output, password.toUtf8().constData());
        QVERIFY(pdf);
        QCOMPARE(pdf->isEncrypted(), expected != "plain");
        if (pdf->isEncrypted()) // an empty owner password would give anybody owner rights
            QVERIFY(!pdf->ownerPasswordMatched());
        QCOMPARE(pdf->allowPrintHighRes(), expected != "noprint");
        QCOMPARE(pdf->allowExtractAll(), expected != "noprint");
    }
};

QTEST_MAIN(TestOutputOptions)
#include "tst_pdf_outputoptions.moc"
