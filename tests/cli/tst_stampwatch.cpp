// quillary-stamp --watch run as a program on a folder that documents arrive
// in: slowly, by a rename, damaged, onto a full disk, across a stop and a
// restart, and while the template changes. Every wait is on a condition with
// a generous deadline; no duration is asserted.

#include "cli_test_run.h"
#include "cli_test_store.h"
#include "pdf/PdfChecks.h"
#include "support/SmallDisk.h"

#include <csignal>

using namespace pdfchecks;

namespace {

constexpr int kDeadline = 60000; // ms: how long a condition may take on a busy machine
const QPointF kStationeryMark(200, 200); // inside clitest::writeStationery's square

// A document that cannot be stamped: how it is made, what failed/NAME.txt
// says, and how often one of that name arrives.
struct Refused { QString kind, reason; int arrivals; };
struct Stop { int signal; };

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList pdfs(const QString& folder)
{
    return QDir(folder).entryList({"*.pdf"}, QDir::Files, QDir::Name);
}

// Standard error of a watch stopped after stamping that many documents
// without a complaint: the summary alone.
bool onlySummary(const QString& err, int stamped)
{
    return err.startsWith(QStringLiteral("quillary-stamp: %1 stamped, 0 failed in ").arg(stamped))
        && err.endsWith(" s, stopped\n") && err.count('\n') == 1;
}

// The colour of the stationery on page 1 of a stamped document.
char stationeryColour(const QString& path)
{
    return colourAt(render(path, 0), kStationeryMark);
}

// A running watch, its output collected as it comes.
class Watcher {
public:
    Watcher(const clitest::Tool& tool, const QStringList& arguments) : process(tool.start(arguments)) {}
    ~Watcher()
    {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished();
        }
    }
    QString err() { collect(); return errText; }
    QString out() { collect(); return outText; }
    bool running() const { return process->state() == QProcess::Running; }
    // Sends the signal and waits for the end; the exit status, -1 when the
    // signal ended the process.
    int stop(int signal)
    {
        ::kill(pid_t(process->processId()), signal);
        process->waitForFinished(kDeadline);
        collect();
        return process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    }

private:
    void collect()
    {
        errText += QString::fromUtf8(process->readAllStandardError());
        outText += QString::fromUtf8(process->readAllStandardOutput());
    }
    std::unique_ptr<QProcess> process;
    QString errText, outText;
};

} // namespace

class StampWatchTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(clitest::writeStationery(path("s.pdf")));
        QVERIFY(QDir().mkpath(path("in")) && QDir().mkpath(path("out")));
        QVERIFY(testpdfs::writeNumbered(path("doc.pdf"), 2));
    }

    // Copied in a piece at a time, the document is left alone until it is
    // whole, then stamped, and the original moves to done/ as it was. A copy
    // that stalls half-way for longer than the settle time is not taken for
    // whole either: it does not end like a PDF.
    void slowCopy()
    {
        Watcher watcher(tool(), watch({"--settle", "0.5"}));
        const QByteArray bytes = contents(path("doc.pdf"));
        QFile copy(path("in/slow.pdf"));
        QVERIFY(copy.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        constexpr int Pieces = 8;
        for (int i = 0; i < Pieces; ++i) {
            const qsizetype from = bytes.size() * i / Pieces, to = bytes.size() * (i + 1) / Pieces;
            QCOMPARE(copy.write(bytes.mid(from, to - from)), to - from);
            QTest::qWait(i == Pieces / 2 ? 2500 : 120);
            if (i + 1 < Pieces) {
                QVERIFY2(!QFileInfo::exists(path("out/slow.pdf")), "stamped while it was still copied");
                QVERIFY(QFileInfo::exists(path("in/slow.pdf")));
            }
        }
        copy.close();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path("in/done/slow.pdf")), kDeadline);
        QVERIFY(contents(path("in/done/slow.pdf")) == bytes);
        QCOMPARE(testpdfs::pageCount(path("out/slow.pdf")), 2);
        QCOMPARE(stationeryColour(path("out/slow.pdf")), 'R');
        // Told once the original is in done/: the line may still be on its way.
        QTRY_VERIFY_WITH_TIMEOUT(watcher.out().contains("in/slow.pdf: stamped into out/slow.pdf"), kDeadline);
        QCOMPARE(watcher.stop(SIGTERM), 0);
        QVERIFY2(onlySummary(watcher.err(), 1), qPrintable(watcher.err()));
    }

    // A document written under a hidden name and renamed into place is
    // stamped (under --suffix); the hidden file never is.
    void renamedIn()
    {
        QVERIFY(QFile::copy(path("doc.pdf"), path("in/.hidden.pdf")));
        Watcher watcher(tool(), watch({"--settle", "0.2", "--suffix", "-stamped"}));
        QVERIFY(QFile::copy(path("doc.pdf"), path("in/.r.pdf.part")));
        QVERIFY(QFile::rename(path("in/.r.pdf.part"), path("in/r.pdf")));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path("in/done/r.pdf")), kDeadline);
        QCOMPARE(testpdfs::pageCount(path("out/r-stamped.pdf")), 2);
        QCOMPARE(QDir(path("out")).entryList(QDir::Files | QDir::Hidden), QStringList{"r-stamped.pdf"});
        QVERIFY(QFileInfo::exists(path("in/.hidden.pdf")));
        QCOMPARE(watcher.stop(SIGTERM), 0);
    }

    // A document that cannot be stamped goes to failed/ with NAME.txt giving
    // why; one of the same name later never replaces it.
    void refused_data()
    {
        table<Refused>({{"damaged", {"damaged", "not a readable PDF", 2}},
                        {"protected by a password", {"locked", "the file is protected by a password", 1}},
                        {"without pages", {"empty", "the document has no pages", 1}},
                        {"no PDF at all, without an end marker", {"text", "not a readable PDF", 1}}});
    }
    void refused()
    {
        const Refused row = fetch<Refused>();
        const QString made = path("made.pdf");
        QVERIFY(row.kind == "damaged"  ? testpdfs::writeBytes(made, "%PDF-1.4\n1 0 obj garbage\n%%EOF\n")
                : row.kind == "locked" ? testpdfs::writeEncrypted(made, "user", "owner")
                : row.kind == "empty"  ? testpdfs::writeZeroPages(made)
                                       : testpdfs::writeBytes(made, "Dear customer, no PDF here.\n"));
        QVERIFY(testpdfs::writeBytes(path("in/notes.txt"), "not a PDF name: left alone\n"));
        Watcher watcher(tool(), watch({"--settle", "0.2"}));
        for (int arrival = 1; arrival <= row.arrivals; ++arrival) {
            QVERIFY(QFile::copy(made, path("in/.x.part")) && QFile::rename(path("in/.x.part"), path("in/x.pdf")));
            const QString suffix = arrival == 1 ? QString() : QStringLiteral("-%1").arg(arrival);
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path("in/failed/x" + suffix + ".txt")), kDeadline);
            QVERIFY(contents(path("in/failed/x" + suffix + ".pdf")) == contents(made));
            const QString note = QString::fromUtf8(contents(path("in/failed/x" + suffix + ".txt")));
            QVERIFY2(note.startsWith("in/x.pdf: " + row.reason), qPrintable(note));
        }
        QCOMPARE(QDir(path("in/failed")).entryList(QDir::Files).size(), 2 * row.arrivals);
        QVERIFY(QDir(path("out")).isEmpty());
        QVERIFY(QDir(path("in/done")).isEmpty());
        QVERIFY(QFileInfo::exists(path("in/notes.txt")));
        QTRY_COMPARE_WITH_TIMEOUT(watcher.err().count("in/x.pdf: " + row.reason), row.arrivals, kDeadline);
        QCOMPARE(watcher.stop(SIGTERM), 0);
    }

    // A full output disk loses nothing: the documents wait in the folder and
    // are stamped once there is room again.
    void fullDisk()
    {
        testdisk::SmallDisk disk(path("full"));
        if (!disk.isTmpfs())
            QSKIP("a full disk needs a tmpfs, which only root may mount");
        QVERIFY(disk.limit(0));
        Watcher watcher(tool(), watch({"--settle", "0.2"}, "full"));
        const QStringList names{"a.pdf", "b.pdf", "c.pdf"};
        for (const QString& name : names)
            QVERIFY(QFile::copy(path("doc.pdf"), path("in/." + name)) && QFile::rename(path("in/." + name), path("in/" + name)));
        QTRY_VERIFY_WITH_TIMEOUT(watcher.err().count(disk.reason() + "; trying again in ") >= names.size(), kDeadline);
        QCOMPARE(pdfs(path("in")), names);
        QVERIFY(QDir(path("in/failed")).isEmpty() && QDir(path("in/done")).isEmpty());
        QCOMPARE(QDir(path("full")).entryList(QDir::Files | QDir::Hidden), QStringList{"filler"});

        disk.lift();
        QTRY_COMPARE_WITH_TIMEOUT(pdfs(path("in/done")), names, kDeadline);
        QCOMPARE(pdfs(path("full")), names);
        for (const QString& name : names)
            QCOMPARE(testpdfs::pageCount(path("full/" + name)), 2);
        QVERIFY(pdfs(path("in")).isEmpty());
        QCOMPARE(watcher.stop(SIGTERM), 0);
    }

    // Stopped in the middle of a run (asked to, or killed), the watch loses
    // no document and leaves no half-written output; started again, it
    // stamps what is left, the documents that were there at the start first.
    void restart_data()
    {
        table<Stop>({{"SIGTERM", {SIGTERM}}, {"SIGINT", {SIGINT}}, {"SIGKILL", {SIGKILL}}});
    }
    void restart()
    {
        const Stop row = fetch<Stop>();
        constexpr int Documents = 30;
        QStringList names;
        QVERIFY(testpdfs::writeNumbered(path("long.pdf"), 40));
        for (int i = 1; i <= Documents; ++i) {
            names << QStringLiteral("d%1.pdf").arg(i, 2, 10, QLatin1Char('0'));
            QVERIFY(QFile::copy(path("long.pdf"), path("in/" + names.last())));
        }
        {
            Watcher watcher(tool(), watch({"--settle", "0.1", "-j", "2"}));
            QTRY_VERIFY_WITH_TIMEOUT(pdfs(path("in/done")).size() >= 3, kDeadline);
            const int status = watcher.stop(row.signal);
            QCOMPARE(status, row.signal == SIGKILL ? -1 : 0);
            if (row.signal != SIGKILL)
                QVERIFY2(watcher.err().contains(" stamped, 0 failed in ") && watcher.err().contains(", stopped"),
                         qPrintable(watcher.err()));
        }
        const QStringList waiting = pdfs(path("in")), done = pdfs(path("in/done"));
        QCOMPARE(QStringList(waiting + done).size(), Documents);
        QCOMPARE(QSet<QString>(waiting.cbegin(), waiting.cend()) + QSet<QString>(done.cbegin(), done.cend()),
                 QSet<QString>(names.cbegin(), names.cend()));
        QVERIFY(QDir(path("in/failed")).isEmpty());
        for (const QString& name : done)
            QVERIFY2(QFileInfo::exists(path("out/" + name)), qPrintable(name));
        for (const QString& name : pdfs(path("out")))
            QCOMPARE(testpdfs::pageCount(path("out/" + name)), 40);
        if (row.signal != SIGKILL)
            QCOMPARE(QDir(path("out")).entryList(QDir::Files | QDir::Hidden), pdfs(path("out")));

        Watcher again(tool(), watch({"--settle", "0.1", "-j", "2"}));
        QTRY_COMPARE_WITH_TIMEOUT(pdfs(path("in/done")), names, kDeadline);
        QCOMPARE(pdfs(path("out")), names);
        for (const QString& name : waiting)
            QCOMPARE(testpdfs::pageCount(path("out/" + name)), 40);
        QCOMPARE(again.stop(SIGTERM), 0);
    }

    // A template changed in the application (the store's settings replaced)
    // stamps the documents that arrive afterwards; those before keep theirs.
    void templateChange()
    {
        const QString store = path("data/" QUILLARY_BUNDLE_IDENTIFIER);
        QVERIFY(clitest::writeStore(store));
        Watcher watcher(tool(), {"-t", "Behind", "--watch", "in", "--output-dir", "out", "--settle", "0.2"});
        QVERIFY(QFile::copy(path("doc.pdf"), path("in/.1")) && QFile::rename(path("in/.1"), path("in/before.pdf")));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path("in/done/before.pdf")), kDeadline);
        QCOMPARE(stationeryColour(path("out/before.pdf")), 'R');

        QVERIFY(clitest::writeStore(store, QColor(Qt::blue)));
        QTRY_VERIFY_WITH_TIMEOUT(watcher.out().contains("template \"Behind\" changed"), kDeadline);
        QVERIFY(QFile::copy(path("doc.pdf"), path("in/.2")) && QFile::rename(path("in/.2"), path("in/after.pdf")));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path("in/done/after.pdf")), kDeadline);
        QCOMPARE(stationeryColour(path("out/after.pdf")), 'B');
        QCOMPARE(stationeryColour(path("out/before.pdf")), 'R');
        QCOMPARE(watcher.stop(SIGTERM), 0);
        QVERIFY2(onlySummary(watcher.err(), 2), qPrintable(watcher.err()));
    }

private:
    QString path(const QString& name) const { return dir->filePath(name); }
    clitest::Tool tool() const { return clitest::Tool(dir->path()); }
    static QStringList watch(const QStringList& options, const QString& outbox = "out")
    {
        return QStringList{"--start", "s.pdf", "--watch", "in", "--output-dir", outbox} + options;
    }

    std::unique_ptr<QTemporaryDir> dir;
};

QTEST_MAIN(StampWatchTest)
#include "tst_stampwatch.moc"
