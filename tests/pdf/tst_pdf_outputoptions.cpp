// Document information and protection of merged files, read back with qpdf
// and with a second reader (pdftotext) where passwords are concerned.

#include "PdfChecks.h"
#include "pdf/PdfContext.h"
#include "pdf/TaskManager.h"
#include "support/TestPdfs.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace quillary;

namespace {

// Absent from the options map (as opposed to the empty text).
const QString Absent = QStringLiteral("<absent>");

void put(SaveOptionsMap& options, SaveOptions key, const QString& value)
{
    if (value != Absent)
        options.insert(key, value);
}

} // namespace

class TestOutputOptions : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString document;

    PdfResult merge(const SaveOptionsMap& options, const QString& output)
    {
        MergeRequest r;
        r.documentPath = document;
        r.outputPath = output;
        r.options = options;
        return TaskManager::mergeDocument(r);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        TaskManager::documentFormat = FormatA4;
        document = dir.filePath("doc.pdf");
        QVERIFY(testpdfs::writeNumbered(document, 2));
    }

    // The protection table, with the empty owner password never written.
    void protection_data()
    {
        QTest::addColumn<bool>("withPassword");
        QTest::addColumn<bool>("allowPrint");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("ownerPassword");
        QTest::addColumn<bool>("encrypted");
        QTest::addColumn<bool>("opensWithoutPassword");
        QTest::addColumn<bool>("mayPrint"); // opened with the user password (or none)

        QTest::newRow("no password, printing allowed") << false << true << "secret" << "" << false << true << true;
        QTest::newRow("user password, printing allowed, empty owner password")
            << true << true << "secret" << "" << true << false << true;
        QTest::newRow("no user password, printing forbidden, owner password")
            << false << false << "" << "boss" << true << true << false;
        QTest::newRow("no user password, printing forbidden, empty owner password")
            << false << false << "" << "" << true << true << false;
        QTest::newRow("no user password, printing forbidden, no owner password")
            << false << false << "" << Absent << false << true << true;
        QTest::newRow("user password, printing forbidden, owner password")
            << true << false << "secret" << "boss" << true << false << false;
        QTest::newRow("user password, printing forbidden, no owner password")
            << true << false << "secret" << Absent << true << false << false;
        QTest::newRow("user password, printing forbidden, empty owner password")
            << true << false << "secret" << "" << true << false << false;
    }
    void protection()
    {
        QFETCH(bool, withPassword);
        QFETCH(bool, allowPrint);
        QFETCH(QString, password);
        QFETCH(QString, ownerPassword);
        QFETCH(bool, encrypted);
        QFETCH(bool, opensWithoutPassword);
        QFETCH(bool, mayPrint);

        SaveOptionsMap options{{SaveOptions::WITH_PASSWORD, withPassword}, {SaveOptions::ALLOW_PRINT, allowPrint}};
        put(options, SaveOptions::PASSWORD, password);
        put(options, SaveOptions::OWNER_PASSWORD, ownerPassword);
        const QString output = dir.filePath(QStringLiteral("%1.pdf").arg(QTest::currentDataTag()));
        const PdfResult result = merge(options, output);
        QVERIFY2(result.ok, qPrintable(result.error));

        auto plain = pdfchecks::open(output);
        QCOMPARE(bool(plain), opensWithoutPassword);
        const QByteArray user = password.toUtf8();
        auto withUser = pdfchecks::open(output, withPassword ? user.constData() : "");
        QVERIFY(withUser);
        QCOMPARE(withUser->isEncrypted(), encrypted);
        // The user's own access never carries owner rights: an empty owner
        // password would hand them to anybody.
        if (encrypted)
            QVERIFY(!withUser->ownerPasswordMatched());
        QCOMPARE(withUser->allowPrintHighRes(), mayPrint);
        QCOMPARE(withUser->allowExtractAll(), mayPrint);
        if (!ownerPassword.isEmpty() && ownerPassword != Absent) {
            auto owner = pdfchecks::open(output, ownerPassword.toUtf8().constData());
            QVERIFY(owner);
            QVERIFY(owner->ownerPasswordMatched());
        }
        if (encrypted) {
            int R = 0, P = 0;
            withUser->isEncrypted(R, P);
            QCOMPARE(R, 6); // AES-256
        }
        QCOMPARE(testpdfs::pageCount(output, withPassword ? password : QString()), 2);
    }

    // Passwords beyond ASCII, read back by qpdf and by poppler.
    void unicodePasswords_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("opensWith"); // UTF-8 bytes a reader is given
        QTest::newRow("umlauts and euro") << QString::fromUtf8("Pässwörd€") << QByteArray("Pässwörd€");
        QTest::newRow("Cyrillic") << QString::fromUtf8("пароль") << QByteArray("пароль");
        QTest::newRow("decomposed accent is normalised")
            << QString::fromUtf8("Cafe\u0301") << QByteArray("Café");
        QTest::newRow("no-break space is a space") << QString::fromUtf8("two\u00A0words") << QByteArray("two words");
    }
    void unicodePasswords()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, opensWith);
        const QString output = dir.filePath(QStringLiteral("unicode-%1.pdf").arg(QTest::currentDataTag()));
        const PdfResult result = merge({{SaveOptions::WITH_PASSWORD, true},
                                        {SaveOptions::ALLOW_PRINT, true},
                                        {SaveOptions::PASSWORD, typed}},
                                       output);
        QVERIFY2(result.ok, qPrintable(result.error));
        QVERIFY(!pdfchecks::open(output));
        auto pdf = pdfchecks::open(output, opensWith.constData());
        QVERIFY(pdf);
        QVERIFY(pdf->userPasswordMatched());
        QVERIFY(pdfchecks::text(output, QString::fromUtf8(opensWith)).contains("Page 2"));
    }

    // Passwords that cannot protect a file are refused, with no file written.
    void unusablePasswords_data()
    {
        QTest::addColumn<bool>("withPassword");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("ownerPassword");
        QTest::newRow("empty user password") << true << "" << "boss";
        QTest::newRow("user password with a control character") << true << "bell\a" << "boss";
        QTest::newRow("user password in a private-use area") << true << QString(QChar(0xE000)) << "boss";
        QTest::newRow("owner password with a line break") << false << "" << "two\nlines";
    }
    void unusablePasswords()
    {
        QFETCH(bool, withPassword);
        QFETCH(QString, password);
        QFETCH(QString, ownerPassword);
        const QString output = dir.filePath(QStringLiteral("refused-%1.pdf").arg(QTest::currentDataTag()));
        const PdfResult result = merge({{SaveOptions::WITH_PASSWORD, withPassword},
                                        {SaveOptions::ALLOW_PRINT, false},
                                        {SaveOptions::PASSWORD, password},
                                        {SaveOptions::OWNER_PASSWORD, ownerPassword}},
                                       output);
        QVERIFY(!result.ok);
        QVERIFY2(result.error.contains(output), qPrintable(result.error));
        QVERIFY(!QFileInfo::exists(output));
    }

    // Creator always; author and title exactly when the options hold them.
    void information_data()
    {
        QTest::addColumn<QString>("author");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("expected"); // key=value, sorted

        QTest::newRow("save with empty fields") << "" << "" << QStringList{"Author=", "Creator=Quillary", "Title="};
        QTest::newRow("no author or title keys") << Absent << Absent << QStringList{"Creator=Quillary"};
        QTest::newRow("both given")
            << "Ada Lovelace" << "Brief an Müller" << QStringList{"Author=Ada Lovelace", "Creator=Quillary",
                                                                 "Title=Brief an Müller"};
        QTest::newRow("title only") << Absent << "Rechnung 42" << QStringList{"Creator=Quillary", "Title=Rechnung 42"};
    }
    void information()
    {
        QFETCH(QString, author);
        QFETCH(QString, title);
        QFETCH(QStringList, expected);
        SaveOptionsMap options{{SaveOptions::WITH_PASSWORD, false}, {SaveOptions::ALLOW_PRINT, true}};
        put(options, SaveOptions::AUTHOR, author);
        put(options, SaveOptions::TITLE, title);
        const QString output = dir.filePath(QStringLiteral("info-%1.pdf").arg(QTest::currentDataTag()));
        QVERIFY(merge(options, output));
        QStringList seen;
        const auto entries = pdfchecks::information(output);
        for (auto it = entries.begin(); it != entries.end(); ++it)
            seen << it.key() + '=' + it.value();
        QCOMPARE(seen, expected);
    }

    // Information survives encryption (it is encrypted with the file).
    void informationOfProtectedFile()
    {
        const QString output = dir.filePath("info-protected.pdf");
        QVERIFY(merge({{SaveOptions::WITH_PASSWORD, true},
                       {SaveOptions::ALLOW_PRINT, false},
                       {SaveOptions::PASSWORD, "pw"},
                       {SaveOptions::OWNER_PASSWORD, "owner"},
                       {SaveOptions::AUTHOR, "Grace"}},
                      output));
        const auto entries = pdfchecks::information(output, "pw");
        QCOMPARE(entries.value("Author"), QStringLiteral("Grace"));
        QCOMPARE(entries.value("Creator"), QStringLiteral("Quillary"));
    }

    void createPdfContextDirectly()
    {
        QString error;
        auto context = TaskManager::createPdfContext(dir.filePath("direct.pdf"),
                                                     {{SaveOptions::WITH_PASSWORD, true},
                                                      {SaveOptions::ALLOW_PRINT, true},
                                                      {SaveOptions::PASSWORD, QString()}},
                                                     QRectF(0, 0, 595, 842), &error);
        QVERIFY(!context);
        QVERIFY(error.contains("direct.pdf"));

        context = TaskManager::createPdfContext(dir.filePath("direct.pdf"), {}, QRectF(0, 0, 200, 300), &error);
        QVERIFY(context);
        auto source = PdfSource::open(document);
        QVERIFY(source);
        context->beginPage();
        QVERIFY(context->drawPage(source, 1, QPointF(10, 10)));
        QVERIFY(!context->drawPage(source, 2)); // no third page
        context->endPage();
        // A failed drawing spoils the file: nothing is written.
        QVERIFY(!context->close());
        QVERIFY(!QFileInfo::exists(dir.filePath("direct.pdf")));
    }
};

QTEST_MAIN(TestOutputOptions)
#include "tst_pdf_outputoptions.moc"
