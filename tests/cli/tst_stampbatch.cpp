// quillary-stamp --output-dir DIR DOCUMENT... run as a program on generated
// folders: which documents are stamped, under which names, what stderr says.

#include "cli_test_run.h"
#include "cli_test_store.h"
#include "pdf/PdfChecks.h"

#include <QStandardPaths>

#include <csignal>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace pdfchecks;

namespace {

// files: "path=kind" made before the run (kind: doc, bad, locked, empty);
// arguments follow "--start s.pdf"; outputs: every file out/ holds after it,
// "-" when out/ must not exist; lines: parts of stderr lines, each on a line
// of its own.
struct Batch {
    QStringList files, arguments;
    int exitCode;
    QStringList outputs, lines;
};

const QRectF kStationeryMark(50, 50, 300, 300); // clitest::writeStationery's red square

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

} // namespace

class StampBatchTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(clitest::writeStationery(path("s.pdf")));
    }

    void batch_data()
    {
        const QString out = "--output-dir", mixed = "2 stamped, 4 failed in ";
        table<Batch>({
            {"mixed good and bad documents",
             {{"a.pdf=doc", "bad.pdf=bad", "locked.pdf=locked", "empty.pdf=empty", "c.pdf=doc"},
              {out, "out", "a.pdf", "bad.pdf", "locked.pdf", "empty.pdf", "missing.pdf", "c.pdf"}, 1,
              {"a.pdf", "c.pdf"},
              {"bad.pdf: not a readable PDF", "locked.pdf: the file is protected by a password",
               "empty.pdf: the document has no pages", "missing.pdf: no such file", mixed}}},
            {"names and --suffix",
             {{"a.pdf=doc", "B.PDF=doc", "noext=doc", "x.y.pdf=doc"},
              {out, "out", "--suffix", "-stamped", "-j", "3", "a.pdf", "B.PDF", "noext", "x.y.pdf"}, 0,
              {"B-stamped.PDF", "a-stamped.pdf", "noext-stamped.pdf", "x.y-stamped.pdf"}, {"4 stamped, 0 failed in "}}},
            {"one name in two folders: the later one is not written",
             {{"in1/a.pdf=doc", "in2/a.pdf=doc"}, {out, "out", "-j1", "in1/a.pdf", "in2/a.pdf"}, 1, {"a.pdf"},
              {"in2/a.pdf: not stamped: its output out/a.pdf is already the output of in1/a.pdf",
               "1 stamped, 1 failed in "}}},
            {"one document given three times is stamped once",
             {{"a.pdf=doc"}, {out, "out", "a.pdf", "./a.pdf", "a.pdf"}, 0, {"a.pdf"},
              {"warning: ./a.pdf: given more than once", "1 stamped, 0 failed in "}}},
            {"an output over the document itself",
             {{"out/a.pdf=doc", "b.pdf=doc"}, {out, "out", "out/a.pdf", "b.pdf"}, 1, {"a.pdf", "b.pdf"},
              {"out/a.pdf: not stamped: its output would replace the document itself", "1 stamped, 1 failed in "}}},
            {"an output over another document of the run",
             {{"a.pdf=doc", "out/a-x.pdf=doc"}, {out, "out", "--suffix", "-x", "a.pdf", "out/a-x.pdf"}, 1,
              {"a-x-x.pdf", "a-x.pdf"},
              {"a.pdf: not stamped: its output out/a-x.pdf would replace out/a-x.pdf, a document of this run"}}},
            {"missing output folder", {{"a.pdf=doc"}, {out, "nowhere", "a.pdf"}, 1, {"-"}, {"nowhere: no such folder"}}},
            {"output folder is a file", {{"a.pdf=doc"}, {out, "a.pdf", "a.pdf"}, 1, {"-"}, {"a.pdf: not a folder"}}},
        });
    }

    // The documents that can be stamped are, each with the stationery; each
    // one that cannot is named with its reason on a line of its own; inputs
    // stay as they were and out/ holds nothing else (no temporary files).
    // Stamping with files alone makes no template store.
    void batch()
    {
        const Batch row = fetch<Batch>();
        for (const QString& file : row.files) {
            const QString name = file.section('=', 0, 0), kind = file.section('=', 1);
            QVERIFY(QDir().mkpath(QFileInfo(path(name)).path()));
            QVERIFY(kind == "doc"      ? testpdfs::writeNumbered(path(name), 2)
                    : kind == "bad"    ? testpdfs::writeBytes(path(name), "%PDF-1.4\nno PDF at all\n%%EOF\n")
                    : kind == "locked" ? testpdfs::writeEncrypted(path(name), "user", "owner")
                                       : testpdfs::writeZeroPages(path(name)));
        }
        if (!row.outputs.contains("-"))
            QVERIFY(QDir().mkpath(path("out")));
        const QStringList inputs = [&] {
            QStringList names;
            for (const QString& file : row.files)
                names << file.section('=', 0, 0);
            return names;
        }();
        QMap<QString, QByteArray> before;
        for (const QString& input : inputs)
            before[input] = contents(path(input));

        const clitest::Ran ran = tool().run(QStringList{"--start", "s.pdf"} + row.arguments);
        QCOMPARE(ran.exitCode, row.exitCode);
        QVERIFY2(ran.out.isEmpty(), qPrintable(ran.out));
        QVERIFY2(!ran.err.contains('\r'), "a progress line without a terminal");
        const QStringList lines = ran.err.split('\n', Qt::SkipEmptyParts);
        for (const QString& line : lines)
            QVERIFY2(line.startsWith("quillary-stamp: "), qPrintable(line));
        for (const QString& part : row.lines)
            QVERIFY2(std::count_if(lines.cbegin(), lines.cend(), [&](const QString& l) { return l.contains(part); }) == 1,
                     qPrintable(part + "\n---\n" + ran.err));

        for (const QString& input : inputs)
            QVERIFY2(contents(path(input)) == before[input], qPrintable(input));
        if (row.outputs.contains("-")) {
            QVERIFY(!QFileInfo::exists(path("out")));
        } else {
            QStringList outputs = QDir(path("out")).entryList(QDir::Files | QDir::Hidden);
            std::sort(outputs.begin(), outputs.end());
            QCOMPARE(outputs, row.outputs);
            for (const QString& output : outputs) {
                if (inputs.contains("out/" + output))
                    continue; // a document of the run, left alone
                QCOMPARE(testpdfs::pageCount(path("out/" + output)), 2);
                QCOMPARE(colourAt(render(path("out/" + output), 0), kStationeryMark.center()), 'R');
            }
        }
        QVERIFY2(!QFileInfo::exists(path("data")), "a template store was made");
    }

    // One document stamped with files alone reads no store and makes none;
    // a template named makes the store as the application would.
    void storeOnlyForTemplates()
    {
        QVERIFY(testpdfs::writeNumbered(path("a.pdf"), 1));
        QCOMPARE(tool().run({"--start", "s.pdf", "a.pdf", "o.pdf"}).exitCode, 0);
        QCOMPARE(testpdfs::pageCount(path("o.pdf")), 1);
        QVERIFY2(!QFileInfo::exists(path("data")), "a template store was made");
        QCOMPARE(tool().run({"--list-templates"}).exitCode, 0);
        QVERIFY(QFileInfo::exists(path("data/" QUILLARY_BUNDLE_IDENTIFIER "/settings.plist")));
    }

    // An output folder that takes no files stops the run before any document.
    void readOnlyOutputFolder()
    {
        QVERIFY(testpdfs::writeNumbered(path("a.pdf"), 1));
        QVERIFY(QDir().mkpath(path("out")));
        if (::geteuid() == 0) {
            // The administrator writes anywhere: a read-only file system then.
            QVERIFY(::unshare(CLONE_NEWNS) == 0);
            QVERIFY(::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0);
            QVERIFY(::mount("tmpfs", QFile::encodeName(path("out")).constData(), "tmpfs", MS_RDONLY, "size=64k") == 0);
        } else {
            QVERIFY(QFile::setPermissions(path("out"), QFile::ReadOwner | QFile::ExeOwner));
        }
        const clitest::Ran ran = tool().run({"--start", "s.pdf", "--output-dir", "out", "a.pdf"});
        if (::geteuid() == 0)
            ::umount2(QFile::encodeName(path("out")).constData(), MNT_DETACH);
        QFile::setPermissions(path("out"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(ran.exitCode, 1);
        QVERIFY2(ran.err.startsWith("quillary-stamp: out: cannot write there (") && ran.err.count('\n') == 1,
                 qPrintable(ran.err));
        QVERIFY(QDir(path("out")).isEmpty());
    }

    // Ctrl-C ends the run early: no half-written output, no temporary file,
    // and the summary says how many documents were left.
    void stoppedByCtrlC()
    {
        QVERIFY(testpdfs::writeNumbered(path("long.pdf"), 40));
        QVERIFY(QDir().mkpath(path("out")));
        QStringList documents;
        for (int i = 1; i <= 80; ++i) {
            documents << QStringLiteral("d%1.pdf").arg(i);
            QVERIFY(QFile::copy(path("long.pdf"), path(documents.last())));
        }
        const auto process = tool().start(QStringList{"--start", "s.pdf", "--output-dir", "out", "-j", "2"} + documents);
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(path("out")).isEmpty() || process->state() == QProcess::NotRunning, 60000);
        ::kill(pid_t(process->processId()), SIGINT);
        const clitest::Ran ran = clitest::Tool::finish(*process);
        const QStringList outputs = QDir(path("out")).entryList(QDir::Files | QDir::Hidden);
        if (ran.exitCode == 0) { // finished before the signal came
            QCOMPARE(outputs.size(), documents.size());
        } else {
            QCOMPARE(ran.exitCode, 1);
            QVERIFY2(ran.err.contains(QStringLiteral(" stamped, 0 failed in ")) && ran.err.contains(", stopped before "),
                     qPrintable(ran.err));
            QVERIFY(outputs.size() < documents.size());
        }
        for (const QString& output : outputs) {
            QVERIFY2(documents.contains(output), qPrintable(output));
            QCOMPARE(testpdfs::pageCount(path("out/" + output)), 40);
        }
    }

    // On a terminal a progress line is redrawn in place and cleared before
    // the summary; through a pipe (the batch rows) there is none.
    void progressOnTerminal()
    {
        const QString script = QStandardPaths::findExecutable("script");
        if (script.isEmpty())
            QSKIP("script (util-linux) is needed for a terminal");
        QVERIFY(QDir().mkpath(path("out")));
        QStringList documents;
        for (int i = 1; i <= 3; ++i) {
            documents << QStringLiteral("d%1.pdf").arg(i);
            QVERIFY(testpdfs::writeNumbered(path(documents.last()), 1));
        }
        const QString command = QStringLiteral("'%1' --start s.pdf --output-dir out -j 1 %2")
                                    .arg(QUILLARY_STAMP_BINARY, documents.join(' '));
        QProcess process;
        process.setProcessEnvironment(tool().environment());
        process.setWorkingDirectory(dir->path());
        process.start(script, {"-q", "-e", "-c", command, "/dev/null"});
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished(120000));
        const QString screen = QString::fromUtf8(process.readAllStandardOutput());
        QCOMPARE(process.exitCode(), 0);
        QVERIFY2(screen.contains("of 3 documents"), qPrintable(screen));
        QVERIFY2(screen.contains("\r\x1b[Kquillary-stamp: 3 stamped, 0 failed in "), qPrintable(screen));
        QCOMPARE(QDir(path("out")).entryList(QDir::Files).size(), 3);
    }

private:
    QString path(const QString& name) const { return dir->filePath(name); }
    clitest::Tool tool() const { return clitest::Tool(dir->path()); }

    std::unique_ptr<QTemporaryDir> dir;
};

QTEST_MAIN(StampBatchTest)
#include "tst_stampbatch.moc"
