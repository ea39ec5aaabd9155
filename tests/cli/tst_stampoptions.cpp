// Parsing and resolution of quillary-stamp's command line, in process.

#include "cli/StampOptions.h"
#include "cli/StampTool.h"
#include "cli_test_store.h"

#include "store/CustomFileManager.h"
#include "support/TestPdfs.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using namespace quillary;
using namespace quillary::cli;

namespace {

QStringList args(std::initializer_list<const char*> list)
{
    QStringList result{QStringLiteral("quillary-stamp")};
    for (const char* a : list)
        result << QString::fromUtf8(a);
    return result;
}

} // namespace

class StampOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void millimetres_data();
    void millimetres();
    void conversionIsTheEditors();
    void offsets_data();
    void offsets();
    void commandLine_data();
    void commandLine();
    void pageChoices();
    void saveOptions_data();
    void saveOptions();
    void exitCodes_data();
    void exitCodes();
    void templateResolution_data();
    void templateResolution();
};

void StampOptionsTest::millimetres_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<float>("value");

    QTest::newRow("integer") << "10" << true << 10.0f;
    QTest::newRow("negative") << "-5" << true << -5.0f;
    QTest::newRow("plus sign") << "+2.5" << true << 2.5f;
    QTest::newRow("leading point") << ".5" << true << 0.5f;
    QTest::newRow("exponent") << "1e1" << true << 10.0f;
    for (const char* bad : {"", " 1", "1 ", "10mm", "10,5", "0x10", "inf", "nan", "1e50", "+-1", "\u0661" /* non-latin */,
                            "1\u00a0" /* no-break space */, "\uff11" /* fullwidth */})
        QTest::addRow("invalid \"%s\"", bad) << QString::fromUtf8(bad) << false << 0.0f;
}

void StampOptionsTest::millimetres()
{
    QFETCH(QString, text); QFETCH(bool, valid); QFETCH(float, value);
    const auto parsed = parseMillimetres(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QVERIFY(*parsed == value);
}

void StampOptionsTest::conversionIsTheEditors()
{
    // 17/6, not 72/25.4: the two differ visibly in the written numbers.
    QVERIFY(millimetresToPoints(10.0f) == 10.0 * 17.0 / 6.0);
    QVERIFY(millimetresToPoints(10.0f) != 10.0 * 72.0 / 25.4);
    QVERIFY(millimetresToPoints(10.5f) == 29.75);
    // The number is a float before it is widened: 0.1 is float's 0.1.
    const float tenth = *parseMillimetres(QStringLiteral("0.1"));
    QVERIFY(millimetresToPoints(tenth) == static_cast<double>(0.1f) * 17.0 / 6.0);
    QVERIFY(millimetresToPoints(tenth) != 0.1 * 17.0 / 6.0);
}

void StampOptionsTest::offsets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<float>("xMm");
    QTest::addColumn<float>("yMm");

    QTest::newRow("whole numbers") << "10,20" << true << 10.0f << 20.0f;
    QTest::newRow("decimal points") << "10.5,-3.25" << true << 10.5f << -3.25f;
    QTest::newRow("comma is the separator") << "10,5" << true << 10.0f << 5.0f;
    QTest::newRow("semicolon with decimal commas") << "10,5;-3,25" << true << 10.5f << -3.25f;
    QTest::newRow("semicolon with points") << "0.1;2" << true << 0.1f << 2.0f;
    QTest::newRow("zero") << "0,0" << true << 0.0f << 0.0f;
    for (const char* bad : {"10", "10,5,3,25", "1,2,3", ",5", "5,", "1,5;", "1;2;3", "1, 2", "1mm,2mm", ""})
        QTest::addRow("invalid \"%s\"", bad) << QString(bad) << false << 0.0f << 0.0f;
}

void StampOptionsTest::offsets()
{
    QFETCH(QString, text); QFETCH(bool, valid); QFETCH(float, xMm); QFETCH(float, yMm);
    const OffsetParse parsed = parseOffset(text);
    QCOMPARE(parsed.points.has_value(), valid);
    if (!valid) {
        QVERIFY(!parsed.error.isEmpty());
        QVERIFY2(parsed.error.contains(text), qPrintable(parsed.error));
        return;
    }
    QVERIFY(parsed.points->x() == millimetresToPoints(xMm));
    QVERIFY(parsed.points->y() == millimetresToPoints(yMm));
}

void StampOptionsTest::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error"); // empty: valid; otherwise part of the message

    QTest::newRow("files only") << args({"--start", "s.pdf", "d.pdf", "o.pdf"}) << "";
    QTest::newRow("template") << args({"--template", "Mine", "d.pdf", "o.pdf"}) << "";
    QTest::newRow("short template") << args({"-t", "Mine", "d.pdf", "o.pdf"}) << "";
    QTest::newRow("options after files") << args({"d.pdf", "o.pdf", "--terms", "t.pdf"}) << "";
    QTest::newRow("negative offset as next argument") << args({"--start", "s.pdf", "--offset", "-3,5", "d.pdf", "o.pdf"}) << "";
    QTest::newRow("offset with equals") << args({"--start", "s.pdf", "--first-offset=-3,-5", "d.pdf", "o.pdf"}) << "";
    QTest::newRow("template and switches") << args({"-t", "Mine", "--no-start", "--no-terms", "--over", "d.pdf", "o.pdf"}) << "";
    QTest::newRow("protected") << args({"--start", "s.pdf", "--password", "u", "--forbid-print", "--owner-password", "o", "d.pdf", "o.pdf"}) << "";
    QTest::newRow("list") << args({"--list-templates"}) << "";
    QTest::newRow("help wins") << args({"--help", "--behind", "--over"}) << "";

    QTest::newRow("no arguments") << args({}) << "expected DOCUMENT.pdf and OUTPUT.pdf";
    QTest::newRow("one file") << args({"--start", "s.pdf", "d.pdf"}) << "expected DOCUMENT.pdf and OUTPUT.pdf";
    QTest::newRow("three files") << args({"--start", "s.pdf", "a.pdf", "b.pdf", "c.pdf"}) << "too many file arguments";
    QTest::newRow("unknown option") << args({"--frobnicate", "d.pdf", "o.pdf"}) << "frobnicate";
    QTest::newRow("missing value") << args({"d.pdf", "o.pdf", "--start"}) << "start";
    QTest::newRow("nothing to stamp with") << args({"d.pdf", "o.pdf"}) << "nothing to stamp with";
    QTest::newRow("only switches off") << args({"--no-start", "d.pdf", "o.pdf"}) << "nothing to stamp with";
    QTest::newRow("file and switched off") << args({"--start", "s.pdf", "--no-start", "d.pdf", "o.pdf"}) << "--start and --no-start";
    QTest::newRow("both layers") << args({"--start", "s.pdf", "--behind", "--over", "d.pdf", "o.pdf"}) << "--behind and --over";
    QTest::newRow("offset twice") << args({"--start", "s.pdf", "--offset", "1,2", "--offset", "3,4", "d.pdf", "o.pdf"}) << "--offset given more than once";
    QTest::newRow("template twice") << args({"-t", "A", "--template", "B", "d.pdf", "o.pdf"}) << "--template given more than once";
    QTest::newRow("bad offset") << args({"--start", "s.pdf", "--first-offset", "10,5,3", "d.pdf", "o.pdf"}) << "--first-offset";
    QTest::newRow("empty template name") << args({"--template", "", "d.pdf", "o.pdf"}) << "--template needs a template name";
    QTest::newRow("empty stationery name") << args({"--start", "", "d.pdf", "o.pdf"}) << "--start needs a file name";
    QTest::newRow("empty document") << args({"--start", "s.pdf", "", "o.pdf"}) << "must not be empty";
    QTest::newRow("empty password") << args({"--start", "s.pdf", "--password", "", "d.pdf", "o.pdf"}) << "--password must not be empty";
    QTest::newRow("forbid without owner password") << args({"--start", "s.pdf", "--forbid-print", "d.pdf", "o.pdf"}) << "--forbid-print needs --owner-password";
    QTest::newRow("forbid with empty owner password") << args({"--start", "s.pdf", "--forbid-print", "--owner-password", "", "d.pdf", "o.pdf"}) << "--forbid-print needs --owner-password";
    QTest::newRow("owner password alone") << args({"--start", "s.pdf", "--owner-password", "x", "d.pdf", "o.pdf"}) << "only takes effect with --forbid-print";
    QTest::newRow("equal passwords") << args({"--start", "s.pdf", "--password", "pw", "--forbid-print", "--owner-password", "pw", "d.pdf", "o.pdf"}) << "must differ";
    QTest::newRow("list with files") << args({"--list-templates", "d.pdf"}) << "no file arguments";
    QTest::newRow("list with template") << args({"--list-templates", "-t", "Mine"}) << "takes no other option";
}

void StampOptionsTest::commandLine()
{
    QFETCH(QStringList, arguments); QFETCH(QString, error);
    const ParseOutcome outcome = parseStampOptions(arguments);
    if (error.isEmpty()) {
        QVERIFY2(outcome.options.has_value(), qPrintable(outcome.error));
        return;
    }
    QVERIFY(!outcome.options);
    QVERIFY2(outcome.error.contains(error), qPrintable(outcome.error));
    QVERIFY(!outcome.error.contains(QLatin1Char('\n')));
}

void StampOptionsTest::pageChoices()
{
    const ParseOutcome outcome = parseStampOptions(
        args({"-t", "Mine", "--start", "s.pdf", "--no-terms", "--over", "--first-offset", "10,-5", "--offset",
              "1,5;2", "d.pdf", "o.pdf"}));
    QVERIFY2(outcome.options, qPrintable(outcome.error));
    const StampOptions& o = *outcome.options;
    QCOMPARE(o.mode, StampOptions::Mode::Stamp);
    QCOMPARE(o.documentPath, QStringLiteral("d.pdf"));
    QCOMPARE(o.outputPath, QStringLiteral("o.pdf"));
    QCOMPARE(o.templateName, std::optional<QString>(QStringLiteral("Mine")));
    QCOMPARE(o.start.source, PageSource::File);
    QCOMPARE(o.start.file, QStringLiteral("s.pdf"));
    QCOMPARE(o.continuation.source, PageSource::FromTemplate);
    QCOMPARE(o.terms.source, PageSource::Off);
    QCOMPARE(o.layer, Layer::Over);
    QVERIFY(o.firstPageOffset.x() == millimetresToPoints(10.0f));
    QVERIFY(o.firstPageOffset.y() == millimetresToPoints(-5.0f));
    QVERIFY(o.continuationOffset.x() == millimetresToPoints(1.5f));
    QVERIFY(o.continuationOffset.y() == millimetresToPoints(2.0f));
}

void StampOptionsTest::saveOptions_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<bool>("allowPrint");
    QTest::addColumn<bool>("withPassword");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QVariant>("ownerPassword"); // invalid: key absent
    QTest::addColumn<QVariant>("title");
    QTest::addColumn<QVariant>("author");

    QTest::newRow("nothing") << QStringList{} << true << false << "" << QVariant() << QVariant() << QVariant();
    QTest::newRow("user password") << QStringList{"--password", "open sesame"} << true << true << "open sesame"
                                   << QVariant() << QVariant() << QVariant();
    QTest::newRow("forbid print") << QStringList{"--forbid-print", "--owner-password", "boss"} << false << false << ""
                                  << QVariant(QStringLiteral("boss")) << QVariant() << QVariant();
    QTest::newRow("both") << QStringList{"--password", "u", "--forbid-print", "--owner-password", "o"} << false << true
                          << "u" << QVariant(QStringLiteral("o")) << QVariant() << QVariant();
    QTest::newRow("information") << QStringList{"--title", "Offer 12", "--author", QString::fromUtf8("Jürgen")}
                                 << true << false << "" << QVariant() << QVariant(QStringLiteral("Offer 12"))
                                 << QVariant(QString::fromUtf8("Jürgen"));
    QTest::newRow("empty title kept") << QStringList{"--title", ""} << true << false << "" << QVariant()
                                      << QVariant(QString()) << QVariant();
}

void StampOptionsTest::saveOptions()
{
    QFETCH(QStringList, extra); QFETCH(bool, allowPrint); QFETCH(bool, withPassword); QFETCH(QString, password); QFETCH(QVariant, ownerPassword); QFETCH(QVariant, title); QFETCH(QVariant, author);

    QStringList arguments = args({"--start", "s.pdf"});
    arguments << extra << QStringLiteral("d.pdf") << QStringLiteral("o.pdf");
    const ParseOutcome outcome = parseStampOptions(arguments);
    QVERIFY2(outcome.options, qPrintable(outcome.error));
    const SaveOptionsMap& options = outcome.options->saveOptions;
    QCOMPARE(options.value(SaveOptions::ALLOW_PRINT), QVariant(allowPrint));
    QCOMPARE(options.value(SaveOptions::WITH_PASSWORD), QVariant(withPassword));
    QCOMPARE(options.value(SaveOptions::PASSWORD), QVariant(password));
    auto check = [&](SaveOptions key, const QVariant& expected) {
        QCOMPARE(options.contains(key), expected.isValid());
        if (expected.isValid())
            QCOMPARE(options.value(key).toString(), expected.toString());
    };
    check(SaveOptions::OWNER_PASSWORD, ownerPassword);
    check(SaveOptions::TITLE, title);
    check(SaveOptions::AUTHOR, author);
}

void StampOptionsTest::exitCodes_data()
{
    QTest::addColumn<QStringList>("arguments"); // "@" stands for the temporary folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutStart");
    QTest::addColumn<QString>("stderrPart");

    QTest::newRow("help") << args({"--help"}) << 0 << "Usage: quillary-stamp" << "";
    QTest::newRow("version") << args({"--version"}) << 0 << "quillary-stamp " QUILLARY_VERSION << "";
    QTest::newRow("usage error") << args({"--behind"}) << 2 << "" << "(see --help)";
    QTest::newRow("unknown option") << args({"--nope", "@/doc.pdf", "@/out.pdf"}) << 2 << "" << "nope";
    QTest::newRow("missing document") << args({"--start", "@/stat.pdf", "@/none.pdf", "@/out.pdf"}) << 1 << ""
                                      << "none.pdf: no such file";
    QTest::newRow("document is a folder") << args({"--start", "@/stat.pdf", "@/sub", "@/out.pdf"}) << 1 << ""
                                          << "sub: not a file";
    QTest::newRow("missing stationery") << args({"--terms", "@/gone.pdf", "@/doc.pdf", "@/out.pdf"}) << 1 << ""
                                        << "gone.pdf: no such file";
    QTest::newRow("output folder missing") << args({"--start", "@/stat.pdf", "@/doc.pdf", "@/no/out.pdf"}) << 1 << ""
                                           << "does not exist";
    QTest::newRow("output is a folder") << args({"--start", "@/stat.pdf", "@/doc.pdf", "@/sub"}) << 1 << ""
                                        << "is a directory";
    QTest::newRow("output is a device") << args({"--start", "@/stat.pdf", "@/doc.pdf", "/dev/null"}) << 1 << ""
                                        << "/dev/null: not a regular file";
    QTest::newRow("output is a pipe") << args({"--start", "@/stat.pdf", "@/doc.pdf", "@/fifo"}) << 1 << ""
                                      << "fifo: not a regular file";
    QTest::newRow("output is a dangling link") << args({"--start", "@/stat.pdf", "@/doc.pdf", "@/dangling"}) << 1
                                               << "" << "dangling: a symbolic link to nothing";
    QTest::newRow("output is the document") << args({"--start", "@/stat.pdf", "@/doc.pdf", "@/doc.pdf"}) << 2 << ""
                                            << "OUTPUT is the document itself";
    QTest::newRow("output is the stationery") << args({"--continuation", "@/stat.pdf", "@/doc.pdf", "@/stat.pdf"}) << 2
                                              << "" << "OUTPUT is the continuation page file";
    QTest::newRow("line break in a file name stays one line")
        << args({"--start", "@/stat.pdf", "@/two\nlines.pdf", "@/out.pdf"}) << 1 << "" << "two\\nlines.pdf: no such file";
    QTest::newRow("control characters in an option") << args({"--\x1b[2Jclear", "@/doc.pdf", "@/out.pdf"}) << 2 << ""
                                                     << "?[2Jclear";
    QTest::newRow("output names the document another way")
        << args({"--start", "@/stat.pdf", "@/doc.pdf", "@/sub/../doc.pdf"}) << 2 << "" << "OUTPUT is the document itself";
    QTest::newRow("output is ./document") << args({"--start", "stat.pdf", "doc.pdf", "./doc.pdf"}) << 2 << ""
                                          << "OUTPUT is the document itself";
    QTest::newRow("output is a symbolic link to the document") << args({"--start", "@/stat.pdf", "@/doc.pdf", "@/alias.pdf"})
                                                               << 2 << "" << "OUTPUT is the document itself";
    QTest::newRow("output is a hard link to the document") << args({"--start", "@/stat.pdf", "@/doc.pdf", "@/hard.pdf"})
                                                           << 2 << "" << "OUTPUT is the document itself";
    QTest::newRow("output is the start page") << args({"--start", "@/stat.pdf", "@/doc.pdf", "@/stat.pdf"}) << 2 << ""
                                              << "OUTPUT is the start page file";
}

void StampOptionsTest::exitCodes()
{
    QFETCH(QStringList, arguments); QFETCH(int, exitCode); QFETCH(QString, stdoutStart); QFETCH(QString, stderrPart);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(clitest::writeDocument(dir.filePath(QStringLiteral("doc.pdf")), 1));
    QVERIFY(clitest::writeStationery(dir.filePath(QStringLiteral("stat.pdf")), Qt::red));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo"))).constData(), 0600), 0);
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere.pdf")), dir.filePath(QStringLiteral("dangling"))));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("doc.pdf")), dir.filePath(QStringLiteral("alias.pdf"))));
    QCOMPARE(::link(QFile::encodeName(dir.filePath(QStringLiteral("doc.pdf"))).constData(),
                    QFile::encodeName(dir.filePath(QStringLiteral("hard.pdf"))).constData()), 0);
    const QString cwd = QDir::currentPath();
    const auto back = qScopeGuard([&] { QDir::setCurrent(cwd); });
    QVERIFY(QDir::setCurrent(dir.path())); // for the relative names
    const QByteArray documentBefore = [&] {
        QFile f(dir.filePath(QStringLiteral("doc.pdf")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    for (QString& a : arguments)
        a.replace(QLatin1Char('@'), dir.path());

    QString outText;
    QString errText;
    QTextStream out(&outText);
    QTextStream err(&errText);
    QCOMPARE(runStampTool(arguments, out, err), exitCode);
    if (stdoutStart.isEmpty())
        QVERIFY2(outText.isEmpty(), qPrintable(outText));
    else
        QVERIFY2(outText.startsWith(stdoutStart), qPrintable(outText));
    if (stderrPart.isEmpty()) {
        QVERIFY2(errText.isEmpty(), qPrintable(errText));
    } else {
        QVERIFY2(errText.contains(stderrPart), qPrintable(errText));
        QCOMPARE(errText.count(QLatin1Char('\n')), 1);
        QVERIFY(errText.startsWith(QLatin1String("quillary-stamp: ")));
    }
    // None of these runs may leave an output behind or touch the document.
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("out.pdf"))));
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("fifo"))).exists());
    QVERIFY(!QFileInfo(dir.filePath(QStringLiteral("fifo"))).isFile());
    QFile document(dir.filePath(QStringLiteral("doc.pdf")));
    QVERIFY(document.open(QIODevice::ReadOnly));
    QCOMPARE(document.readAll(), documentBefore);
}

namespace {

struct StoreFixture {
    QTemporaryDir dir;
    QString storeDir;
    std::unique_ptr<CustomFileManager> store;
    QString document;

    StoreFixture()
    {
        storeDir = dir.filePath(QStringLiteral("store"));
        QDir().mkpath(storeDir);
        const QString f0 = storeDir + QStringLiteral("/tempf00.pdf");
        const QString f1 = storeDir + QStringLiteral("/tempf01.pdf");
        const QString c0 = storeDir + QStringLiteral("/temp00.pdf");
        const QString b0 = storeDir + QStringLiteral("/tempb00.pdf");
        clitest::writeStationery(f0, Qt::red);
        clitest::writeStationery(f1, Qt::yellow);
        clitest::writeStationery(c0, Qt::green);
        clitest::writeStationery(b0, Qt::gray);
        clitest::writeStore(storeDir, {f0, f1}, {c0}, {b0},
                            {{QStringLiteral("Full"), QStringLiteral("1"), QStringLiteral("int:0"),
                              QStringLiteral("0"), true, QStringLiteral("0"), true},
                             {QStringLiteral("Start only"), QStringLiteral("0"), QStringLiteral("X"),
                              QStringLiteral("X"), false, QStringLiteral("1"), false},
                             {QStringLiteral("Dangling"), QStringLiteral("7"), QStringLiteral("X"),
                              QStringLiteral("X"), true, QStringLiteral("0"), false},
                             {QStringLiteral("Garbled"), QStringLiteral("first"), QStringLiteral("X"),
                              QStringLiteral("X"), true, QStringLiteral("0"), false},
                             {QStringLiteral("Full"), QStringLiteral("0"), QStringLiteral("X"),
                              QStringLiteral("X"), true, QStringLiteral("0"), false}});
        StoreConfig config;
        config.directory = storeDir;
        config.print = [](const QString&) {};
        store = std::make_unique<CustomFileManager>(config);
        document = dir.filePath(QStringLiteral("doc.pdf"));
        clitest::writeDocument(document, 2);
    }
};

} // namespace

void StampOptionsTest::templateResolution_data()
{
    QTest::addColumn<QStringList>("switches"); // "@x": a file given on the command line
    QTest::addColumn<QString>("templateName"); // empty: no template
    QTest::addColumn<QString>("start");        // file name in the store, "" none, "@x" the file given
    QTest::addColumn<QString>("continuation");
    QTest::addColumn<QString>("terms");
    QTest::addColumn<QString>("error");        // part of the error; empty: resolves
    QTest::addColumn<bool>("overlay");         // stationery over the content
    QTest::addColumn<bool>("formatWarning");   // the document is A4

    // "isOverlay" true in the store = stationery behind = overlay false.
    QTest::newRow("all pages, integer reference, first of equal names, behind")
        << QStringList{} << "Full" << "tempf01.pdf" << "temp00.pdf" << "tempb00.pdf" << "" << false << false;
    QTest::newRow("pages switched off, forced over") << QStringList{"--no-start", "--no-terms", "--over"} << "Full" << ""
                                                     << "temp00.pdf" << "" << "" << true << false;
    QTest::newRow("file replaces the stored page") << QStringList{"--continuation", "@x"} << "Full" << "tempf01.pdf"
                                                   << "@x" << "tempb00.pdf" << "" << false << false;
    QTest::newRow("X means none, disabled usable, over, other format")
        << QStringList{} << "Start only" << "tempf00.pdf" << "" << "" << "" << true << true;
    QTest::newRow("file fills a page the template lacks, forced behind")
        << QStringList{"--terms", "@x", "--behind"} << "Start only" << "tempf00.pdf" << "" << "@x" << "" << false << true;
    QTest::newRow("files only, behind by default") << QStringList{"--start", "@x"} << "" << "@x" << "" << "" << ""
                                                   << false << false;
    QTest::newRow("files only, over") << QStringList{"--start", "@x", "--over"} << "" << "@x" << "" << "" << "" << true
                                      << false;
    QTest::newRow("unknown template") << QStringList{} << "full" << "" << "" << "" << "no template named \"full\""
                                      << false << false;
    QTest::newRow("name with trailing blank") << QStringList{} << "Full " << "" << "" << ""
                                              << "no template named \"Full \"" << false << false;
    QTest::newRow("reference beyond the store") << QStringList{} << "Dangling" << "" << "" << ""
                                                << "missing from the store" << false << false;
    QTest::newRow("switched-off dangling page is fine") << QStringList{"--no-start", "--terms", "@x"} << "Dangling"
                                                        << "" << "" << "@x" << "" << true << false;
    QTest::newRow("unreadable reference") << QStringList{} << "Garbled" << "" << "" << ""
                                          << "unreadable start page reference \"first\"" << false << false;
}

void StampOptionsTest::templateResolution()
{
    QFETCH(QStringList, switches); QFETCH(QString, templateName); QFETCH(QString, start); QFETCH(QString, continuation); QFETCH(QString, terms); QFETCH(QString, error); QFETCH(bool, overlay); QFETCH(bool, formatWarning);

    // A store written by hand; "Full" twice, the first one counts.
    QTemporaryDir dir;
    const QString storeDir = dir.filePath(QStringLiteral("store"));
    const QString f0 = storeDir + QStringLiteral("/tempf00.pdf"), f1 = storeDir + QStringLiteral("/tempf01.pdf");
    const QString c0 = storeDir + QStringLiteral("/temp00.pdf"), b0 = storeDir + QStringLiteral("/tempb00.pdf");
    QVERIFY(QDir().mkpath(storeDir));
    QVERIFY(clitest::writeStationery(f0, Qt::red) && clitest::writeStationery(f1, Qt::yellow)
            && clitest::writeStationery(c0, Qt::green) && clitest::writeStationery(b0, Qt::gray));
    QVERIFY(clitest::writeStore(storeDir, {f0, f1}, {c0}, {b0},
                                {{"Full", "1", "int:0", "0", true, "0", true},
                                 {"Start only", "0", "X", "X", false, "1", false},
                                 {"Dangling", "7", "X", "X", true, "0", false},
                                 {"Garbled", "first", "X", "X", true, "0", false},
                                 {"Full", "0", "X", "X", true, "0", false}}));
    StoreConfig config;
    config.directory = storeDir;
    config.print = [](const QString&) {};
    CustomFileManager store(config);
    const QString document = dir.filePath(QStringLiteral("doc.pdf"));
    QVERIFY(clitest::writeDocument(document, 2));
    const QString given = dir.filePath(QStringLiteral("given.pdf"));
    QVERIFY(clitest::writeStationery(given, Qt::cyan));

    for (QString& s : switches)
        s.replace(QLatin1String("@x"), given);
    QStringList arguments{QStringLiteral("quillary-stamp")};
    if (!templateName.isEmpty())
        arguments << QStringLiteral("--template") << templateName;
    arguments << switches << document << dir.filePath(QStringLiteral("out.pdf"));
    const ParseOutcome parsed = parseStampOptions(arguments);
    QVERIFY2(parsed.options, qPrintable(parsed.error));

    TaskManager::documentFormat = FormatA4;
    const Resolution r = resolveMergeRequest(*parsed.options, &store);
    if (!error.isEmpty()) {
        QVERIFY(!r.request);
        QCOMPARE(r.exitCode, int(ExitFailure));
        QVERIFY2(r.error.contains(error), qPrintable(r.error));
        return;
    }
    QVERIFY2(r.request, qPrintable(r.error));
    auto expected = [&](const QString& name) -> std::optional<QString> {
        if (name.isEmpty())
            return std::nullopt;
        return name == QLatin1String("@x") ? given : storeDir + QLatin1Char('/') + name;
    };
    QCOMPARE(r.request->startPagePath, expected(start));
    QCOMPARE(r.request->continuationPagePath, expected(continuation));
    QCOMPARE(r.request->termsPagePath, expected(terms));
    QCOMPARE(r.request->useStartPage, !start.isEmpty());
    QCOMPARE(r.request->useContinuationPage, !continuation.isEmpty());
    QCOMPARE(r.request->useTermsPage, !terms.isEmpty());
    QCOMPARE(r.request->stationeryIsOverlay, overlay);
    QCOMPARE(!r.warnings.filter(QStringLiteral("is made for")).isEmpty(), formatWarning);
}

QTEST_GUILESS_MAIN(StampOptionsTest)
#include "tst_stampoptions.moc"
