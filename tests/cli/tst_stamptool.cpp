// quillary-stamp run as a program on real files; results read back with qpdf
// and rendered with Qt PDF.

#include "cli/StampOptions.h"
#include "cli_test_store.h"

#include "pdf/TaskManager.h"
#include "support/TestPdfs.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <memory>

using namespace quillary;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Names of colours the tests paint with; "other" for anything else.
QString colourName(const QColor& c)
{
    const struct {
        const char* name;
        QColor colour;
    } known[] = {{"white", Qt::white}, {"red", Qt::red},       {"green", Qt::green}, {"blue", Qt::blue},
                 {"gray", Qt::gray},   {"yellow", Qt::yellow}, {"cyan", Qt::cyan}};
    for (const auto& k : known) {
        if (std::abs(c.red() - k.colour.red()) < 40 && std::abs(c.green() - k.colour.green()) < 40
            && std::abs(c.blue() - k.colour.blue()) < 40)
            return QString::fromLatin1(k.name);
    }
    return QStringLiteral("other");
}

// Colour at a point given in PDF points (origin bottom left) of page `page`.
QString colourAt(const QString& path, int page, QPointF point, const QString& password = {})
{
    QPdfDocument doc;
    if (!password.isEmpty())
        doc.setPassword(password);
    if (doc.load(path) != QPdfDocument::Error::None || page >= doc.pageCount())
        return QStringLiteral("unreadable");
    const QSizeF size = doc.pagePointSize(page);
    const QImage rendered = doc.render(page, size.toSize());
    if (rendered.isNull())
        return QStringLiteral("unrendered");
    // Pages render on a transparent ground; paper is white.
    QImage image(rendered.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter(&image).drawImage(0, 0, rendered);
    const int x = qRound(point.x());
    const int y = qRound(size.height() - point.y());
    return colourName(image.pixelColor(x, y));
}

// "A/B" per page: the colour where only stationery lies (60, 60) and where
// stationery and document content overlap (150, 150).
QStringList pageColours(const QString& path)
{
    QStringList result;
    const int pages = testpdfs::pageCount(path);
    for (int p = 0; p < pages; ++p)
        result << colourAt(path, p, {60, 60}) + QLatin1Char('/') + colourAt(path, p, {150, 150});
    return result;
}

std::string pageContents(QPDF& pdf, int index)
{
    auto pages = QPDFPageDocumentHelper(pdf).getAllPages();
    Pl_Buffer buffer("contents");
    pages.at(index).pipeContents(&buffer);
    auto data = buffer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
}

QStringList dirListing(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

} // namespace

class StampToolTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void exitStatus_data();
    void exitStatus();
    void stampFiles_data();
    void stampFiles();
    void stampTemplate_data();
    void stampTemplate();
    void listTemplates();
    void saveOptions_data();
    void saveOptions();
    void failuresKeepTheOldOutput_data();
    void failuresKeepTheOldOutput();
    void outputThroughALinkKeepsTheLink();
    void offsetsMoveTheContent();
    void offsetsMatchTheApplication();

private:
    Run run(const QStringList& arguments);
    QString path(const QString& name) const { return dir->filePath(name); }
    QString storeDir() const
    {
        return dir->filePath(QStringLiteral("data/") + QStringLiteral(QUILLARY_BUNDLE_IDENTIFIER));
    }
    void writeTemplates();

    std::unique_ptr<QTemporaryDir> dir;
};

void StampToolTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    QVERIFY(clitest::writeStationery(path(QStringLiteral("red.pdf")), Qt::red));
    QVERIFY(clitest::writeStationery(path(QStringLiteral("green.pdf")), Qt::green));
    QVERIFY(clitest::writeStationery(path(QStringLiteral("gray.pdf")), Qt::gray));
    QVERIFY(clitest::writeStationery(path(QStringLiteral("yellow.pdf")), Qt::yellow));
}

Run StampToolTest::run(const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir->path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir->filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir->filePath(QStringLiteral("config")));
    // The tool must run where there is no display at all.
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir->path());
    process.start(QStringLiteral(QUILLARY_STAMP_BINARY), arguments);
    Run result;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        result.err = QStringLiteral("timed out");
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

void StampToolTest::writeTemplates()
{
    const QString s = storeDir();
    QVERIFY(QDir().mkpath(s));
    QVERIFY(clitest::writeStationery(s + QStringLiteral("/tempf00.pdf"), Qt::red));
    QVERIFY(clitest::writeStationery(s + QStringLiteral("/temp00.pdf"), Qt::green));
    QVERIFY(clitest::writeStationery(s + QStringLiteral("/tempb00.pdf"), Qt::gray));
    QVERIFY(clitest::writeStore(
        s, {s + QStringLiteral("/tempf00.pdf")}, {s + QStringLiteral("/temp00.pdf")},
        {s + QStringLiteral("/tempb00.pdf")},
        {{QStringLiteral("Behind A4"), QStringLiteral("0"), QStringLiteral("int:0"), QStringLiteral("X"), true,
          QStringLiteral("0"), true},
         {QStringLiteral("Over Letter"), QStringLiteral("0"), QStringLiteral("X"), QStringLiteral("0"), false,
          QStringLiteral("1"), false},
         {QStringLiteral("Dangling - odd"), QStringLiteral("3"), QStringLiteral("X"), QStringLiteral("X"), true,
          QStringLiteral("99"), false}}));
}

void StampToolTest::exitStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutStart");

    QTest::newRow("version") << QStringList{"--version"} << 0 << "quillary-stamp " QUILLARY_VERSION "\n";
    QTest::newRow("no arguments") << QStringList{} << 2 << "";
}

void StampToolTest::exitStatus()
{
    QFETCH(QStringList, arguments); QFETCH(int, exitCode); QFETCH(QString, stdoutStart);
    const Run r = run(arguments);
    QCOMPARE(r.exitCode, exitCode);
    if (stdoutStart.isEmpty())
        QVERIFY2(r.out.isEmpty(), qPrintable(r.out));
    else
        QVERIFY2(r.out.startsWith(stdoutStart), qPrintable(r.out));
    if (exitCode != 0)
        QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    else
        QVERIFY(r.err.isEmpty());
}

void StampToolTest::stampFiles_data()
{
    QTest::addColumn<int>("documentPages");
    QTest::addColumn<QSizeF>("documentSize");
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<QSizeF>("outputSize");
    QTest::addColumn<QStringList>("colours"); // per page, see pageColours

    const QStringList all{"--start", "red.pdf", "--continuation", "green.pdf", "--terms", "gray.pdf"};
    QTest::newRow("three pages, all stationery") << 3 << testpdfs::A4Whole << all << QSizeF(595, 842)
                                                 << QStringList{"red/blue", "green/blue", "green/blue", "gray/gray"};
    QTest::newRow("one page, all stationery") << 1 << testpdfs::A4Whole << all << QSizeF(595, 842)
                                              << QStringList{"red/blue", "gray/gray"};
    QTest::newRow("continuation only") << 3 << testpdfs::A4Whole << QStringList{"--continuation", "green.pdf"}
                                       << QSizeF(595, 842) << QStringList{"white/blue", "green/blue", "green/blue"};
    QTest::newRow("over the content") << 2 << testpdfs::A4Whole
                                      << QStringList{"--start", "red.pdf", "--continuation", "green.pdf", "--over"}
                                      << QSizeF(595, 842) << QStringList{"red/red", "green/green"};
    QTest::newRow("US Letter") << 2 << testpdfs::Letter << QStringList{"--start", "red.pdf"} << QSizeF(612, 792)
                               << QStringList{"red/blue", "white/blue"};
    QTest::newRow("A4 in fractions of a point") << 1 << testpdfs::A4 << QStringList{"--start", "red.pdf"}
                                                << QSizeF(595, 842) << QStringList{"red/blue"};
    QTest::newRow("A4 landscape gives portrait pages") << 1 << testpdfs::A4Landscape
                                                       << QStringList{"--start", "red.pdf"} << QSizeF(595, 842)
                                                       << QStringList{"red/blue"};
}

void StampToolTest::stampFiles()
{
    QFETCH(int, documentPages); QFETCH(QSizeF, documentSize); QFETCH(QStringList, switches); QFETCH(QSizeF, outputSize); QFETCH(QStringList, colours);

    QVERIFY(clitest::writeDocument(path(QStringLiteral("doc.pdf")), documentPages, documentSize));
    const Run r = run(switches + QStringList{QStringLiteral("doc.pdf"), QStringLiteral("out.pdf")});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    const QString out = path(QStringLiteral("out.pdf"));
    QCOMPARE(testpdfs::pageCount(out), colours.size());
    for (int p = 0; p < colours.size(); ++p)
        QCOMPARE(testpdfs::mediaBox(out, p), QRectF(QPointF(0, 0), outputSize));
    QCOMPARE(pageColours(out), colours);
}

void StampToolTest::stampTemplate_data()
{
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("colours"); // for a 3-page A4 document
    QTest::addColumn<QString>("stderrPart");

    QTest::newRow("template behind") << QStringList{"-t", "Behind A4"} << 0
                                     << QStringList{"red/blue", "green/blue", "green/blue"} << "";
    QTest::newRow("template over, terms, disabled, other format")
        << QStringList{"--template", "Over Letter"} << 0
        << QStringList{"red/red", "white/blue", "white/blue", "gray/gray"}
        << "warning: template \"Over Letter\" is made for US Letter";
    QTest::newRow("start page off, terms added") << QStringList{"-t", "Behind A4", "--no-start", "--terms", "gray.pdf"}
                                                 << 0
                                                 << QStringList{"white/blue", "green/blue", "green/blue", "gray/gray"}
                                                 << "";
    QTest::newRow("unknown template") << QStringList{"-t", "behind a4"} << 1 << QStringList{}
                                      << "no template named \"behind a4\"";
}

void StampToolTest::stampTemplate()
{
    QFETCH(QStringList, switches); QFETCH(int, exitCode); QFETCH(QStringList, colours); QFETCH(QString, stderrPart);

    writeTemplates();
    QVERIFY(clitest::writeDocument(path(QStringLiteral("doc.pdf")), 3));
    const Run r = run(switches + QStringList{QStringLiteral("doc.pdf"), QStringLiteral("out.pdf")});
    QVERIFY2(r.exitCode == exitCode, qPrintable(r.err));
    QVERIFY2(r.out.isEmpty(), qPrintable(r.out));
    if (stderrPart.isEmpty())
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    else
        QVERIFY2(r.err.contains(stderrPart), qPrintable(r.err));
    const QString out = path(QStringLiteral("out.pdf"));
    if (exitCode != 0) {
        QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
        QVERIFY(!QFile::exists(out));
        return;
    }
    QCOMPARE(pageColours(out), colours);
}

void StampToolTest::listTemplates()
{
    writeTemplates();
    const QByteArray settingsBefore = readAll(storeDir() + QStringLiteral("/settings.plist"));
    const Run r = run({QStringLiteral("--list-templates")});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(r.out, QStringLiteral("Behind A4\tDIN A4\tenabled\n"
                                   "Over Letter\tUS Letter\tdisabled\n"
                                   "Dangling - odd\tUndefined\tenabled\n"));
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    // Listing is reading: the user's settings stay as they were.
    QCOMPARE(readAll(storeDir() + QStringLiteral("/settings.plist")), settingsBefore);
}

void StampToolTest::saveOptions_data()
{
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<QString>("userPassword"); // needed to open; empty: opens without
    QTest::addColumn<QString>("ownerPassword"); // expected to give owner rights; empty: none checked
    QTest::addColumn<bool>("encrypted");
    QTest::addColumn<bool>("mayPrint");
    QTest::addColumn<QVariant>("title");  // invalid: no entry
    QTest::addColumn<QVariant>("author");

    QTest::newRow("plain") << QStringList{} << "" << "" << false << true << QVariant() << QVariant();
    QTest::newRow("user password, title and author")
        << QStringList{"--password", "s3cret", "--title", QString::fromUtf8("Angebot Nr. 7 – Müller"), "--author", "A. Person"}
        << "s3cret" << "" << true << true << QVariant(QString::fromUtf8("Angebot Nr. 7 – Müller"))
        << QVariant(QStringLiteral("A. Person"));
    QTest::newRow("printing forbidden") << QStringList{"--forbid-print", "--owner-password", "boss"} << "" << "boss"
                                        << true << false << QVariant() << QVariant();
    QTest::newRow("both passwords") << QStringList{"--password", "u1", "--forbid-print", "--owner-password", "o2"}
                                    << "u1" << "o2" << true << false << QVariant() << QVariant();
}

void StampToolTest::saveOptions()
{
    QFETCH(QStringList, switches); QFETCH(QString, userPassword); QFETCH(QString, ownerPassword); QFETCH(bool, encrypted); QFETCH(bool, mayPrint); QFETCH(QVariant, title); QFETCH(QVariant, author);

    QVERIFY(clitest::writeDocument(path(QStringLiteral("doc.pdf")), 2));
    const Run r = run(QStringList{QStringLiteral("--start"), QStringLiteral("red.pdf")} + switches
                      + QStringList{QStringLiteral("doc.pdf"), QStringLiteral("out.pdf")});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    const QString out = path(QStringLiteral("out.pdf"));

    if (!userPassword.isEmpty()) {
        QCOMPARE(testpdfs::pageCount(out), -1);
        QCOMPARE(testpdfs::pageCount(out, QStringLiteral("wrong")), -1);
    }
    QCOMPARE(testpdfs::pageCount(out, userPassword), 2);

    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(QFile::encodeName(out).constData(), userPassword.toStdString().c_str());
    QCOMPARE(pdf.isEncrypted(), encrypted);
    QCOMPARE(pdf.allowPrintLowRes(), mayPrint);
    QCOMPARE(pdf.allowExtractAll(), mayPrint);
    if (!ownerPassword.isEmpty()) {
        // Opened with the user password (or none) the owner's rights are not given...
        QVERIFY(!pdf.ownerPasswordMatched());
        QPDF asOwner;
        asOwner.setSuppressWarnings(true);
        asOwner.processFile(QFile::encodeName(out).constData(), ownerPassword.toStdString().c_str());
        QVERIFY(asOwner.ownerPasswordMatched());
    }

    QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
    QVERIFY(info.isDictionary());
    QCOMPARE(QString::fromStdString(info.getKey("/Creator").getUTF8Value()), QStringLiteral("Quillary"));
    auto check = [&](const char* key, const QVariant& expected) {
        QCOMPARE(info.hasKey(key), expected.isValid());
        if (expected.isValid())
            QCOMPARE(QString::fromStdString(info.getKey(key).getUTF8Value()), expected.toString());
    };
    check("/Title", title);
    check("/Author", author);
}

void StampToolTest::failuresKeepTheOldOutput_data()
{
    QTest::addColumn<QString>("broken");       // which input is broken, and how
    QTest::addColumn<QString>("namedInError"); // file name the message must carry

    QTest::newRow("document is not a PDF") << "document:garbage" << "doc.pdf";
    QTest::newRow("document is empty") << "document:empty" << "doc.pdf";
    QTest::newRow("document has no pages") << "document:zero" << "doc.pdf";
    QTest::newRow("document needs a password") << "document:encrypted" << "doc.pdf";
    QTest::newRow("document cut short") << "document:truncated" << "doc.pdf";
    QTest::newRow("stationery is not a PDF") << "stationery:garbage" << "stat.pdf";
    QTest::newRow("stationery has no pages") << "stationery:zero" << "stat.pdf";
}

void StampToolTest::failuresKeepTheOldOutput()
{
    QFETCH(QString, broken); QFETCH(QString, namedInError);

    const QString document = path(QStringLiteral("doc.pdf"));
    const QString stationery = path(QStringLiteral("stat.pdf"));
    QVERIFY(clitest::writeDocument(document, 2));
    QVERIFY(clitest::writeStationery(stationery, Qt::red));
    const QString target = broken.section(QLatin1Char(':'), 0, 0) == QLatin1String("document") ? document : stationery;
    const QString how = broken.section(QLatin1Char(':'), 1);
    if (how == QLatin1String("garbage"))
        QVERIFY(testpdfs::writeBytes(target, "%PDF-1.4\nthis is no PDF at all\n"));
    else if (how == QLatin1String("empty"))
        QVERIFY(testpdfs::writeBytes(target, {}));
    else if (how == QLatin1String("zero"))
        QVERIFY(testpdfs::writeZeroPages(target));
    else if (how == QLatin1String("encrypted"))
        QVERIFY(testpdfs::writeEncrypted(target, QStringLiteral("user"), QStringLiteral("owner")));
    else if (how == QLatin1String("truncated"))
        QVERIFY(testpdfs::writeBytes(target, readAll(target).left(120)));

    const QByteArray old("an earlier output the user still needs");
    const QString out = path(QStringLiteral("out.pdf"));
    QVERIFY(testpdfs::writeBytes(out, old));
    const QStringList before = dirListing(dir->path());

    const Run r = run({QStringLiteral("--start"), QStringLiteral("stat.pdf"), QStringLiteral("--continuation"),
                       QStringLiteral("stat.pdf"), QStringLiteral("doc.pdf"), QStringLiteral("out.pdf")});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    QVERIFY2(r.err.startsWith(QLatin1String("quillary-stamp: ")), qPrintable(r.err));
    QVERIFY2(r.err.contains(namedInError), qPrintable(r.err));
    QCOMPARE(readAll(out), old);
    // No temporary file left beside the output either.
    QCOMPARE(dirListing(dir->path()), before);
}

void StampToolTest::outputThroughALinkKeepsTheLink()
{
    QVERIFY(clitest::writeDocument(path(QStringLiteral("doc.pdf")), 2));
    QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("archive")));
    const QString target = path(QStringLiteral("archive/letter.pdf"));
    QVERIFY(testpdfs::writeBytes(target, "old"));
    QVERIFY(QFile::link(target, path(QStringLiteral("latest.pdf"))));
    const Run r = run({QStringLiteral("--start"), QStringLiteral("red.pdf"), QStringLiteral("doc.pdf"),
                       QStringLiteral("latest.pdf")});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY(QFileInfo(path(QStringLiteral("latest.pdf"))).isSymLink());
    QCOMPARE(testpdfs::pageCount(target), 2);
}

// The blue square spans 100..200 in x and y; 20 mm = 56.67 pt, 30 mm = 85 pt.
// Only a terms page is laid, so nothing covers the document pages.
void StampToolTest::offsetsMoveTheContent()
{
    QVERIFY(clitest::writeDocument(path(QStringLiteral("doc.pdf")), 2));
    const Run r = run({QStringLiteral("--terms"), QStringLiteral("gray.pdf"), QStringLiteral("--first-offset"),
                       QStringLiteral("20,30"), QStringLiteral("--offset=-20,-30"), QStringLiteral("doc.pdf"),
                       QStringLiteral("out.pdf")});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    const QString out = path(QStringLiteral("out.pdf"));
    QCOMPARE(colourAt(out, 0, {250, 280}), QStringLiteral("blue")); // page 1 right and up
    QCOMPARE(colourAt(out, 0, {110, 110}), QStringLiteral("white"));
    QCOMPARE(colourAt(out, 1, {50, 20}), QStringLiteral("blue")); // later pages left and down
    QCOMPARE(colourAt(out, 1, {190, 190}), QStringLiteral("white"));
}

void StampToolTest::offsetsMatchTheApplication()
{
    const QString first = QStringLiteral("-10.1,12"), continuation = QStringLiteral("0.3,-7.7");

    const QString document = path(QStringLiteral("doc.pdf"));
    QVERIFY(clitest::writeDocument(document, 3));
    const Run r = run({QStringLiteral("--start"), QStringLiteral("red.pdf"), QStringLiteral("--continuation"),
                       QStringLiteral("green.pdf"), QStringLiteral("--first-offset"), first, QStringLiteral("--offset"),
                       continuation, QStringLiteral("doc.pdf"), QStringLiteral("cli.pdf")});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));

    // What the application's offset editor hands the engine for the same
    // typed numbers: each a float, widened, times 17 / 6.
    auto editor = [](const QString& pair, int i, double factor) {
        return static_cast<double>(pair.split(QLatin1Char(','))[i].toFloat()) * factor;
    };
    auto merge = [&](const QString& output, double factor) {
        MergeRequest request;
        request.documentPath = document;
        request.outputPath = output;
        request.startPagePath = path(QStringLiteral("red.pdf"));
        request.continuationPagePath = path(QStringLiteral("green.pdf"));
        request.useStartPage = request.useContinuationPage = true;
        request.options = {{SaveOptions::ALLOW_PRINT, true}, {SaveOptions::WITH_PASSWORD, false},
                           {SaveOptions::PASSWORD, QString()}};
        request.firstPageOffsetX = editor(first, 0, factor);
        request.firstPageOffsetY = editor(first, 1, factor);
        request.continuationOffsetX = editor(continuation, 0, factor);
        request.continuationOffsetY = editor(continuation, 1, factor);
        TaskManager::documentFormat = TaskManager::pageFormat(595, 842).formatCode;
        return TaskManager::mergeDocument(request);
    };
    const PdfResult application = merge(path(QStringLiteral("app.pdf")), 17.0 / 6.0);
    QVERIFY2(application.ok, qPrintable(application.error));
    // Same numbers through the exact metric factor: must differ, or this test
    // could not tell the conversions apart.
    const PdfResult metric = merge(path(QStringLiteral("metric.pdf")), 72.0 / 25.4);
    QVERIFY2(metric.ok, qPrintable(metric.error));

    QPDF cli, app, other;
    cli.processFile(QFile::encodeName(path(QStringLiteral("cli.pdf"))).constData());
    app.processFile(QFile::encodeName(path(QStringLiteral("app.pdf"))).constData());
    other.processFile(QFile::encodeName(path(QStringLiteral("metric.pdf"))).constData());
    QCOMPARE(QPDFPageDocumentHelper(cli).getAllPages().size(), size_t(3));
    for (int p = 0; p < 3; ++p) {
        QCOMPARE(pageContents(cli, p), pageContents(app, p));
        QVERIFY(pageContents(cli, p) != pageContents(other, p));
    }
}

QTEST_MAIN(StampToolTest)
#include "tst_stamptool.moc"
