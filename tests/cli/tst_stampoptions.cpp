// quillary-stamp's command line, parsed and resolved in process.

#include "cli/StampOptions.h"
#include "cli_test_store.h"

#include "pdf/PlainLines.h"
#include "store/CustomFileManager.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace quillary;
using namespace quillary::cli;

class StampOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void resolve_data();
    void resolve();
};

void StampOptionsTest::resolve_data()
{
    QTest::addColumn<QString>("arguments"); // "@" is the temporary folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("expect"); // exit 0: start, continuation, terms ("-" none, "S/" store); else error part
    QTest::addColumn<bool>("overlay");
    QTest::addColumn<QList<float>>("mm"); // first x, y, continuation x, y

    const QList<float> none{0, 0, 0, 0};
    QTest::newRow("file, behind by default, comma offsets")
        << "--start @/s.pdf --first-offset 10,5 --offset 10.1,-3 @/d.pdf @/o.pdf" << 0 << "s.pdf - -" << false
        << QList<float>{10, 5, 10.1f, -3};
    QTest::newRow("files, over, semicolon offset")
        << "--continuation @/s.pdf --terms @/t.pdf --over --offset=10,5;-3 @/d.pdf @/o.pdf" << 0 << "- s.pdf t.pdf"
        << true << QList<float>{0, 0, 10.5f, -3};
    QTest::newRow("template isOverlay true: stationery behind")
        << "-t Behind @/d.pdf @/o.pdf" << 0 << "S/tempf00.pdf S/temp00.pdf -" << false << none;
    QTest::newRow("template isOverlay false: over; file and switch override pages")
        << "--template Over --no-start --continuation @/s.pdf @/d.pdf @/o.pdf" << 0 << "- s.pdf S/tempb00.pdf" << true
        << none;
    QTest::newRow("--behind overrides the template")
        << "-t Over --behind @/d.pdf @/o.pdf" << 0 << "S/tempf00.pdf - S/tempb00.pdf" << false << none;

    auto error = [&](const char* name, const char* arguments, int code, const char* part) {
        QTest::newRow(name) << arguments << code << part << false << none;
    };
    error("unknown option", "--frobnicate --start @/s.pdf @/d.pdf @/o.pdf", 2, "frobnicate");
    error("missing OUTPUT", "--start @/s.pdf @/d.pdf", 2, "expected DOCUMENT.pdf and OUTPUT.pdf");
    error("bad offset", "--start @/s.pdf --offset 10,5,3 @/d.pdf @/o.pdf", 2, "--offset");
    error("forbid print without owner password", "--start @/s.pdf --forbid-print @/d.pdf @/o.pdf", 2,
          "--forbid-print needs --owner-password");
    error("empty password", "--start @/s.pdf --password= @/d.pdf @/o.pdf", 2, "--password must not be empty");
    error("output is the document", "--start @/s.pdf @/d.pdf @/d.pdf", 2, "OUTPUT is the document itself");
    error("output is a link to the document", "--start @/s.pdf @/d.pdf @/link.pdf", 2, "OUTPUT is the document itself");
    error("output is the stationery", "--terms @/s.pdf @/d.pdf @/s.pdf", 2, "OUTPUT is the terms page file");
    error("unknown template", "-t behind @/d.pdf @/o.pdf", 1, "no template named \"behind\"");
    error("output is a device", "--start @/s.pdf @/d.pdf /dev/null", 1, "/dev/null: not a regular file");
    error("output is a pipe", "--start @/s.pdf @/d.pdf @/fifo", 1, "fifo: not a regular file");
}

void StampOptionsTest::resolve()
{
    QFETCH(QString, arguments); QFETCH(int, exitCode); QFETCH(QString, expect); QFETCH(bool, overlay);
    QFETCH(QList<float>, mm);

    QTemporaryDir dir;
    const QString storeDir = dir.filePath("store");
    QVERIFY(clitest::writeStore(storeDir));
    for (const char* name : {"s.pdf", "t.pdf", "d.pdf"})
        QVERIFY(clitest::writeStationery(dir.filePath(name)));
    QVERIFY(QFile::link(dir.filePath("d.pdf"), dir.filePath("link.pdf")));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
    StoreConfig config;
    config.directory = storeDir;
    ScopedPlainLineSink quiet{PlainLineSink()};
    CustomFileManager store(config);

    QStringList argv{"quillary-stamp"};
    for (const QString& a : arguments.split(' '))
        argv << QString(a).replace('@', dir.path());
    const ParseOutcome parsed = parseStampOptions(argv);
    TaskManager::documentFormat = FormatA4;
    const Resolution r = parsed.options ? resolveMergeRequest(*parsed.options, &store) : Resolution{};
    const QString why = parsed.options ? r.error : parsed.error;
    QCOMPARE(parsed.options ? r.exitCode : int(ExitUsage), exitCode);
    if (exitCode != 0) {
        QVERIFY2(why.contains(expect) && !why.contains('\n'), qPrintable(why));
        return;
    }
    QVERIFY2(r.request, qPrintable(why));
    const MergeRequest& m = *r.request;
    QCOMPARE(m.documentPath, dir.filePath("d.pdf"));
    QCOMPARE(m.outputPath, dir.filePath("o.pdf"));
    const QStringList pages = expect.split(' ');
    const std::optional<QString> paths[3] = {m.startPagePath, m.continuationPagePath, m.termsPagePath};
    const bool used[3] = {m.useStartPage, m.useContinuationPage, m.useTermsPage};
    for (int i = 0; i < 3; ++i) {
        const std::optional<QString> want = pages[i] == "-" ? std::nullopt
            : pages[i].startsWith("S/")                    ? std::optional(storeDir + pages[i].mid(1))
                                                           : std::optional(dir.filePath(pages[i]));
        QCOMPARE(paths[i], want);
        QCOMPARE(used[i], want.has_value());
    }
    QCOMPARE(m.stationeryIsOverlay, overlay);
    // The offset editor's steps: a float, widened, times 17/6.
    QList<double> points;
    for (float v : mm)
        points << static_cast<double>(v) * 17.0 / 6.0;
    QCOMPARE((QList<double>{m.firstPageOffsetX, m.firstPageOffsetY, m.continuationOffsetX, m.continuationOffsetY}),
             points);
}

QTEST_GUILESS_MAIN(StampOptionsTest)
#include "tst_stampoptions.moc"
