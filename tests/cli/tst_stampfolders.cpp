// quillary-stamp run as a program on folders of documents: with
// --output-dir DIR DOCUMENT... (which documents are stamped, under which
// names, what stderr says) and with --watch on a folder that documents arrive
// in: slowly, damaged, onto a full disk, across a stop and a restart, and
// while the template changes. Every wait is on a condition with a generous
// deadline; no duration is asserted.

#include "cli_test.h"
#include "support/SmallDisk.h"
#include "support/TwoUsers.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <csignal>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pdfchecks;

namespace {

// files: "path=kind" made before the run (kind: doc, bad, locked, empty, or
// "readonly": a folder that takes no files); arguments follow "--start s.pdf
// --output-dir FOLDER" ("" no --output-dir); outputs: every file out/ holds
// after it; lines: parts of the stderr lines, each on a line of its own.
struct Batch {
    QString files, arguments;
    int exitCode;
    QString outputs;
    QStringList lines;
    QString folder = "out";
};

constexpr int kDeadline = 60000; // ms: how long a condition may take on a busy machine

// A document that cannot be stamped: how it is made, what failed/NAME.txt
// says, and how often one of that name arrives.
struct Refused { QString kind, reason; int arrivals; };
struct Stop { int signal; };
// What the colleague does to a drop folder shared with the victim, whether
// the watch still starts, and what it says.
struct Hostile { QString plant; int exitCode; QString said; };
// An output name in a shared folder: the link's owner, whether it is written.
struct PlantedOutput { bool linkIsVictims; int exitCode; QString said; };
// A note left in the watched folder naming in/x.pdf (made of that kind) with
// how often it was started; where it ends (done, failed) and, when failed, why.
struct Leftover { QString kind; int starts; QString fate, reason; };
// A note found at the start that is not taken: what it is, what is said.
struct OddNote { QString plant, said; };
// Two ends of a watch while it reads a slow document (SIGKILL: a death,
// SIGTERM: a stop asked for), and where the document ends after a third start.
struct Deaths { int first, second; QString fate; };

const QString kStoppedOnIt = "the stamper stopped while working on this document";

// A document of that kind: doc (two pages), bad, damaged, locked, empty (no
// pages), full (object numbers at qpdf's limit: it throws only while the
// output is built) or text (no PDF at all, without an end marker).
bool make(const QString& path, const QString& kind)
{
    return kind == "doc"       ? testpdfs::writeNumbered(path, 2)
        : kind == "bad"        ? testpdfs::writeBytes(path, "%PDF-1.4\nno PDF at all\n%%EOF\n")
        : kind == "damaged"    ? testpdfs::writeBytes(path, "%PDF-1.4\n1 0 obj garbage\n%%EOF\n")
        : kind == "locked"     ? testpdfs::writeEncrypted(path, "user", "owner")
        : kind == "empty"      ? testpdfs::writeZeroPages(path)
        : kind == "full"       ? QFile::copy(QStringLiteral(QUILLARY_TEST_DATA_DIR "/hostile-max-object-id.pdf"), path)
        : kind == "full2"      ? QFile::copy(QStringLiteral(QUILLARY_TEST_DATA_DIR "/hostile-max-object-id-2.pdf"), path)
                               : testpdfs::writeBytes(path, "Dear customer, no PDF here.\n");
}

QStringList pdfs(const QString& folder) { return QDir(folder).entryList({"*.pdf"}, QDir::Files, QDir::Name); }

// The colour of the stationery on page 1 of a stamped document.
char stationeryColour(const QString& path) { return colourAt(render(path, 0), QPointF(200, 200)); }

// What a running watch has written so far to a channel, left for later looks.
QString said(QProcess& watch, QProcess::ProcessChannel channel = QProcess::StandardError)
{
    watch.setReadChannel(channel);
    return QString::fromUtf8(watch.peek(watch.bytesAvailable()));
}

// Sends the signal and waits for the end; the exit status, -1 when the signal
// ended the process.
int stop(QProcess& watch, int signal)
{
    ::kill(pid_t(watch.processId()), signal);
    watch.waitForFinished(kDeadline);
    return watch.exitStatus() == QProcess::NormalExit ? watch.exitCode() : -1;
}

// Standard error of a watch stopped after stamping that many documents
// without a complaint: the summary alone.
bool onlySummary(QProcess& watch, int stamped)
{
    const QString err = said(watch);
    return err.startsWith(QStringLiteral("quillary-stamp: %1 stamped, 0 failed in ").arg(stamped)) && err.endsWith(" s, stopped\n")
        && err.count('\n') == 1;
}

// The name of the note a watch keeps in IN while it reads document.
QString noteName(const QString& document)
{
    return ".quillary-working-" + QCryptographicHash::hash(document.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
}

// A note as a watch leaves it: document with its starts, and the file at
// `of` as it was then (its size told wrong by sizeOff).
QByteArray noteFor(const QString& document, int starts, const QString& of, qint64 sizeOff = 0)
{
    struct stat info {};
    if (::stat(QFile::encodeName(of).constData(), &info) != 0)
        return "(no such file)";
    const QJsonObject note{{"document", document}, {"starts", starts}, {"inode", qint64(info.st_ino)},
                           {"size", qint64(info.st_size) + sizeOff},
                           {"modified", qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec}};
    return QJsonDocument(note).toJson(QJsonDocument::Compact);
}

// The starts a note says; 0 when there is none (or it is no note).
int notedStarts(const QString& note)
{
    QFile file(note);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object().value("starts").toInt() : 0;
}

// Polls often: a note may stand for a few seconds only.
bool soon(const std::function<bool()>& condition)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > kDeadline)
            return false;
        QThread::msleep(2);
    }
    return true;
}

// The hidden entries of a folder: notes, or their temporary files, left behind.
QStringList hidden(const QString& folder)
{
    return QDir(folder).entryList({".*"}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class StampFoldersTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(clitest::writeStationery(path("s.pdf")));
        QVERIFY(QDir().mkpath(path("in")) && QDir().mkpath(path("out")));
        QVERIFY(testpdfs::writeNumbered(path("doc.pdf"), 2));
    }

    void batch_data()
    {
        table<Batch>({
            {"mixed good and bad documents",
             {"a.pdf=doc bad.pdf=bad locked.pdf=locked empty.pdf=empty c.pdf=doc", "a.pdf bad.pdf locked.pdf empty.pdf missing.pdf c.pdf", 1,
              "a.pdf c.pdf", {"bad.pdf: not a readable PDF", "locked.pdf: the file is protected by a password",
                              "empty.pdf: the document has no pages", "missing.pdf: no such file", "2 stamped, 4 failed in "}}},
            {"a document that cannot be built, a good one after it",
             {"full.pdf=full c.pdf=doc", "full.pdf c.pdf", 1, "c.pdf",
              {"full.pdf: the document is damaged and cannot be used (max object id is too high", "1 stamped, 1 failed in "}}},
            {"names and --suffix", {"a.pdf=doc B.PDF=doc noext=doc x.y.pdf=doc", "--suffix -stamped -j 3 a.pdf B.PDF noext x.y.pdf", 0,
                                    "B-stamped.PDF a-stamped.pdf noext-stamped.pdf x.y-stamped.pdf", {"4 stamped, 0 failed in "}}},
            {"one name in two folders: the later one is not written",
             {"in1/a.pdf=doc in2/a.pdf=doc", "-j1 in1/a.pdf in2/a.pdf", 1, "a.pdf",
              {"in2/a.pdf: not stamped: its output out/a.pdf is already the output of in1/a.pdf", "1 stamped, 1 failed in "}}},
            {"one document given three times is stamped once", {"a.pdf=doc", "a.pdf ./a.pdf a.pdf", 0, "a.pdf",
                                                                {"warning: ./a.pdf: given more than once", "warning: a.pdf: given more than once",
                                                                 "1 stamped, 0 failed in "}}},
            {"an output over the document itself",
             {"out/a.pdf=doc b.pdf=doc", "out/a.pdf b.pdf", 1, "a.pdf b.pdf",
              {"out/a.pdf: not stamped: its output would replace the document itself", "1 stamped, 1 failed in "}}},
            {"an output over another document of the run",
             {"a.pdf=doc out/a-x.pdf=doc", "--suffix -x a.pdf out/a-x.pdf", 1, "a-x-x.pdf a-x.pdf",
              {"a.pdf: not stamped: its output out/a-x.pdf would replace out/a-x.pdf, a document of this run", "1 stamped, 1 failed in "}}},
            {"missing output folder", {"a.pdf=doc", "a.pdf", 1, "", {"nowhere: no such folder"}, "nowhere"}},
            {"output folder is a file", {"a.pdf=doc", "a.pdf", 1, "", {"a.pdf: not a folder"}, "a.pdf"}},
            {"output folder takes no files: stopped before any document", {"a.pdf=doc out=readonly", "a.pdf", 1, "", {"out: cannot write there ("}}},
            {"one document, files alone", {"a.pdf=doc", "a.pdf out/a.pdf", 0, "a.pdf", {}, ""}},
        });
    }

    // The documents that can be stamped are, each with the stationery; each
    // one that cannot is named with its reason on a line of its own; inputs
    // stay as they were and out/ holds nothing else (no temporary files).
    // Stamping with files alone makes no template store.
    void batch()
    {
        const Batch row = fetch<Batch>();
        const QByteArray readOnly = QFile::encodeName(path("out"));
        for (const QString& file : row.files.split(' ')) {
            const QString name = path(file.section('=', 0, 0)), kind = file.section('=', 1);
            QVERIFY(QDir().mkpath(QFileInfo(name).path()));
            if (kind != "readonly") {
                QVERIFY(make(name, kind));
            } else if (::geteuid() == 0) { // root writes anywhere: a read-only file system then
                // Private where it can be (in a chroot "/" is no mount point); unmounted below either way.
                if (::unshare(CLONE_NEWNS) == 0)
                    ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
                if (::mount("tmpfs", readOnly.constData(), "tmpfs", MS_RDONLY, "size=64k") != 0)
                    QSKIP("this root may not mount a file system");
            } else {
                QVERIFY(QFile::setPermissions(name, QFile::ReadOwner | QFile::ExeOwner));
            }
        }
        const QMap<QString, QByteArray> before = clitest::snapshot(dir->path());
        const QString output = row.folder.isEmpty() ? QString() : " --output-dir " + row.folder;
        const clitest::Ran ran = tool().run(("--start s.pdf" + output + ' ' + row.arguments).split(' '));
        ::umount2(readOnly.constData(), MNT_DETACH); // what a "readonly" row mounted, else nothing
        QFile::setPermissions(path("out"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(ran.exitCode, row.exitCode);
        QVERIFY2(ran.out.isEmpty(), qPrintable(ran.out));
        QVERIFY2(!ran.err.contains('\r'), "a progress line redrawn in place without a terminal");
        const QStringList lines = ran.err.split('\n', Qt::SkipEmptyParts);
        for (const QString& line : lines)
            QVERIFY2(line.startsWith("quillary-stamp: "), qPrintable(line));
        for (const QString& part : row.lines)
            QVERIFY2(std::count_if(lines.cbegin(), lines.cend(), [&](const QString& l) { return l.contains(part); }) == 1,
                     qPrintable(part + "\n---\n" + ran.err));
        QCOMPARE(lines.size(), row.lines.size());

        // Inputs as they were, nothing beside them but the outputs.
        const QStringList outputs = QDir(path("out"), {}, QDir::Name, QDir::Files | QDir::Hidden).entryList();
        QCOMPARE(outputs.join(' '), row.outputs);
        auto after = clitest::snapshot(dir->path());
        for (const QString& output : outputs) {
            if (before.contains("/out/" + output))
                continue; // a document of the run, left alone
            after.remove("/out/" + output);
            QCOMPARE(testpdfs::pageCount(path("out/" + output)), 2);
            QCOMPARE(colourAt(render(path("out/" + output), 0), QPointF(200, 200)), 'R'); // the stationery's square
        }
        QCOMPARE(after, before);
    }

    // Ctrl-C ends the run early: no half-written output, no temporary file,
    // and the summary says how many documents were left.
    void stoppedByCtrlC()
    {
        QVERIFY(testpdfs::writeNumbered(path("long.pdf"), 40));
        QStringList documents;
        for (int i = 1; i <= 80; ++i)
            QVERIFY(QFile::copy(path("long.pdf"), path(documents.emplaceBack(QStringLiteral("d%1.pdf").arg(i)))));
        const auto process = tool().start(QStringList{"--start", "s.pdf", "--output-dir", "out", "-j", "2"} + documents);
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(path("out")).isEmpty(), kDeadline); // far from done
        ::kill(pid_t(process->processId()), SIGINT);
        const clitest::Ran ran = clitest::Tool::finish(*process);
        QCOMPARE(ran.exitCode, 1);
        QVERIFY2(ran.err.contains(" stamped, 0 failed in ") && ran.err.contains(", stopped before "), qPrintable(ran.err));
        const QStringList outputs = QDir(path("out")).entryList(QDir::Files | QDir::Hidden);
        QVERIFY(outputs.size() < documents.size());
        for (const QString& output : outputs) {
            QVERIFY2(documents.contains(output), qPrintable(output));
            QCOMPARE(testpdfs::pageCount(path("out/" + output)), 40);
        }
    }

    // On a terminal a progress line is drawn and cleared before the summary.
    void progressOnTerminal()
    {
        const QString script = QStandardPaths::findExecutable("script");
        if (script.isEmpty())
            QSKIP("script (util-linux) is needed for a terminal");
        QVERIFY(testpdfs::writeNumbered(path("b.pdf"), 1) && testpdfs::writeNumbered(path("c.pdf"), 1));
        const QString command = QStringLiteral("'%1' --start s.pdf --output-dir out -j 1 doc.pdf b.pdf c.pdf").arg(QUILLARY_STAMP_BINARY);
        const clitest::Ran ran = clitest::Tool::finish(*tool().start({"-q", "-e", "-c", command, "/dev/null"}, script));
        QCOMPARE(ran.exitCode, 0);
        QVERIFY2(ran.out.contains("of 3 documents"), qPrintable(ran.out));
        QVERIFY2(ran.out.contains("\r\x1b[Kquillary-stamp: 3 stamped, 0 failed in "), qPrintable(ran.out));
        QCOMPARE(pdfs(path("out")).size(), 3);
    }

    // A copy that stalls half-way for longer than the settle time is left
    // alone: it does not end like a PDF. Once whole it is stamped (under
    // --suffix) and the original moves to done/ as it was. Hidden files are
    // never taken.
    void slowCopy()
    {
        QVERIFY(QFile::copy(path("doc.pdf"), path("in/.hidden.pdf")));
        const auto watcher = watch({"--settle", "0.5", "--suffix", "-stamped"});
        const QByteArray bytes = clitest::contents(path("doc.pdf"));
        QFile copy(path("in/slow.pdf"));
        QVERIFY(copy.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const qsizetype half = bytes.size() / 2;
        QCOMPARE(copy.write(bytes.left(half)), half);
        QTest::qWait(2500); // five settle times, half the file there
        QVERIFY2(QDir(path("out")).isEmpty() && QFileInfo::exists(path("in/slow.pdf")), "taken while still copied");
        QCOMPARE(copy.write(bytes.mid(half)), bytes.size() - half);
        copy.close();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path("in/done/slow.pdf")), kDeadline);
        QVERIFY(clitest::contents(path("in/done/slow.pdf")) == bytes);
        QCOMPARE(QDir(path("out")).entryList(QDir::Files | QDir::Hidden), QStringList{"slow-stamped.pdf"});
        QCOMPARE(testpdfs::pageCount(path("out/slow-stamped.pdf")), 2);
        QCOMPARE(stationeryColour(path("out/slow-stamped.pdf")), 'R');
        QVERIFY(QFileInfo::exists(path("in/.hidden.pdf")));
        // Told once the original is in done/: the line may still be on its way.
        QTRY_VERIFY_WITH_TIMEOUT(said(*watcher, QProcess::StandardOutput).contains("in/slow.pdf: stamped into out/slow-stamped.pdf"), kDeadline);
        QCOMPARE(stop(*watcher, SIGTERM), 0);
        QVERIFY2(onlySummary(*watcher, 1), qPrintable(said(*watcher)));
    }

    // A document that cannot be stamped goes to failed/ with NAME.txt giving
    // why; one of the same name later never replaces it.
    void refused_data()
    {
        table<Refused>({{"damaged", {"damaged", "not a readable PDF", 2}},
                        {"protected by a password", {"locked", "the file is protected by a password", 1}},
                        {"without pages", {"empty", "the document has no pages", 1}},
                        {"object numbers at the limit: the watch goes on", {"full", "the document is damaged and cannot be used (max object id is too high", 2}},
                        {"object numbers at the limit, another finding", {"full2", "the document is damaged and cannot be used (max object id is too high", 1}},
                        {"no PDF at all, without an end marker", {"text", "not a readable PDF", 1}}});
    }
    void refused()
    {
        const Refused row = fetch<Refused>();
        const QString made = path("made.pdf");
        QVERIFY(make(made, row.kind));
        QVERIFY(testpdfs::writeBytes(path("in/notes.txt"), "not a PDF name: left alone\n"));
        const auto watcher = watch({"--settle", "0.2"});
        for (int arrival = 1; arrival <= row.arrivals; ++arrival) {
            arrive(made, "x.pdf");
            const QString failed = path("in/failed/x" + (arrival == 1 ? QString() : QStringLiteral("-%1").arg(arrival)));
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(failed + ".txt"), kDeadline);
            QVERIFY(clitest::contents(failed + ".pdf") == clitest::contents(made));
            QVERIFY2(clitest::contents(failed + ".txt").startsWith("in/x.pdf: " + row.reason.toUtf8()), clitest::contents(failed + ".txt"));
        }
        QCOMPARE(QDir(path("in/failed")).entryList(QDir::Files).size(), 2 * row.arrivals);
        QVERIFY(QDir(path("out")).isEmpty() && QDir(path("in/done")).isEmpty());
        QVERIFY(QFileInfo::exists(path("in/notes.txt")));
        QTRY_COMPARE_WITH_TIMEOUT(said(*watcher).count("in/x.pdf: " + row.reason), row.arrivals, kDeadline);
        // The watch goes on: a good document after them is stamped.
        arrive(path("doc.pdf"), "good.pdf");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path("in/done/good.pdf")), kDeadline);
        QCOMPARE(testpdfs::pageCount(path("out/good.pdf")), 2);
        QCOMPARE(stop(*watcher, SIGTERM), 0);
        const QString err = said(*watcher);
        QVERIFY2(err.contains(QStringLiteral("1 stamped, %1 failed in ").arg(row.arrivals)), qPrintable(err));
    }

    // A watch started on a folder where a watch that did not end left a note
    // naming in/x.pdf: named once, x.pdf is tried again, first (one job, and
    // b.pdf comes first by name); named after a second start, it is set aside
    // unread and b.pdf is stamped. No note is left.
    void leftoverNote_data()
    {
        table<Leftover>({{"named once: stamped", {"doc", 1, "done", ""}},
                         {"named once, damaged: failed for its own reason", {"bad", 1, "failed", "not a readable PDF"}},
                         {"named after a second start: set aside", {"doc", 2, "failed", kStoppedOnIt}},
                         {"named after many starts: set aside", {"bad", 7, "failed", kStoppedOnIt}}});
    }
    void leftoverNote()
    {
        const Leftover row = fetch<Leftover>();
        QVERIFY(make(path("in/x.pdf"), row.kind) && QFile::copy(path("doc.pdf"), path("in/b.pdf")));
        const QByteArray before = clitest::contents(path("in/x.pdf"));
        QVERIFY(testpdfs::writeBytes(path("in/" + noteName("x.pdf")), noteFor("x.pdf", row.starts, path("in/x.pdf"))));
        const auto watcher = watch({"--settle", "0.1", "-j", "1"});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path("in/done/b.pdf")) && QFileInfo::exists(path("in/" + row.fate + "/x.pdf")),
                                 kDeadline);
        QCOMPARE(stop(*watcher, SIGTERM), 0);
        QVERIFY(clitest::contents(path("in/" + row.fate + "/x.pdf")) == before);
        const QString err = said(*watcher), out = said(*watcher, QProcess::StandardOutput);
        QCOMPARE(err.count("in/x.pdf: " + kStoppedOnIt + "; trying it once more"), row.starts == 1 ? 1 : 0);
        if (row.fate == "failed") {
            const QByteArray why = clitest::contents(path("in/failed/x.txt"));
            const QByteArray expected = ("in/x.pdf: " + row.reason).toUtf8();
            QVERIFY2(row.reason == kStoppedOnIt ? why == expected + '\n' : why.startsWith(expected), why.constData());
            QVERIFY2(err.contains("in/x.pdf: " + row.reason), qPrintable(err));
            QVERIFY2(err.contains("1 stamped, 1 failed in "), qPrintable(err));
        } else {
            QCOMPARE(testpdfs::pageCount(path("out/x.pdf")), 2);
            QVERIFY2(out.indexOf("in/x.pdf: stamped") >= 0 && out.indexOf("in/x.pdf: stamped") < out.indexOf("in/b.pdf: stamped"),
                     qPrintable(out));
        }
        QCOMPARE(testpdfs::pageCount(path("out/b.pdf")), 2);
        QCOMPARE(hidden(path("in")), QStringList());
    }

    // A note the watch did not write, or that names no document of the
    // folder, is told once and not taken: x.pdf is stamped as any document,
    // nothing outside the folder is read through it or touched.
    void oddNote_data()
    {
        table<OddNote>({
            {"a symbolic link to a note elsewhere", {"link", "a symbolic link, not a note of this watch; left alone"}},
            {"another user's note", {"foreign", "a file of another user, not a note of this watch; left alone"}},
            {"a second name of a note elsewhere",
             {"hardlink", "a file with more than one name, not a note of this watch; left alone"}},
            {"a folder", {"folder", "not a regular file, not a note of this watch; left alone"}},
            {"larger than a note", {"large", "larger than a note, not a note of this watch; left alone"}},
            {"garbage", {"garbage", "not a note of this watch; removed"}},
            {"a note under another document's name", {"misnamed", "not a note of this watch; removed"}},
            {"names ../x.pdf", {"../x.pdf", "names \"../x.pdf\", which is no document directly in in; removed"}},
            {"names a hidden file", {".x.pdf", "names \".x.pdf\", which is no document directly in in; removed"}},
            {"names a missing file", {"gone.pdf", "names in/gone.pdf, which is no longer there; removed"}},
            {"names a link in the folder", {"l.pdf", "names in/l.pdf, which is not a regular file; removed"}},
            {"names a file changed since",
             {"changed", "names in/x.pdf, which has changed since; it is taken as a new document; removed"}},
        });
    }
    void oddNote()
    {
        const OddNote row = fetch<OddNote>();
        QVERIFY(QDir().mkpath(path("elsewhere")) && QFile::copy(path("doc.pdf"), path("x.pdf")));
        QVERIFY(QFile::copy(path("doc.pdf"), path("in/x.pdf")));
        QVERIFY(QFile::link(path("x.pdf"), path("in/l.pdf")));
        // A note that would set x.pdf aside, were it taken.
        const QString note = path("in/" + noteName("x.pdf"));
        const QByteArray settingAside = noteFor("x.pdf", 2, path("in/x.pdf"));
        if (row.plant == "link") {
            QVERIFY(testpdfs::writeBytes(path("elsewhere/note"), settingAside) && QFile::link(path("elsewhere/note"), note));
        } else if (row.plant == "hardlink") {
            QVERIFY(testpdfs::writeBytes(path("elsewhere/note"), settingAside)
                    && ::link(QFile::encodeName(path("elsewhere/note")).constData(), QFile::encodeName(note).constData()) == 0);
        } else if (row.plant == "foreign") {
            if (::geteuid() != 0)
                QSKIP("a file of another user needs root");
            QVERIFY(testpdfs::writeBytes(note, settingAside) && ::chown(QFile::encodeName(note).constData(), 65534, 65534) == 0);
        } else if (row.plant == "folder") {
            QVERIFY(QDir().mkpath(note));
        } else if (row.plant == "large") {
            QVERIFY(testpdfs::writeBytes(note, settingAside + QByteArray(5000, ' ')));
        } else if (row.plant == "garbage") {
            QVERIFY(testpdfs::writeBytes(note, "\x89garbage{\"starts\": 2\n"));
        } else if (row.plant == "misnamed") {
            QVERIFY(testpdfs::writeBytes(path("in/" + noteName("y.pdf")), settingAside));
        } else if (row.plant == "changed") {
            QVERIFY(testpdfs::writeBytes(note, noteFor("x.pdf", 2, path("in/x.pdf"), 1)));
        } else {
            // A note of the watch's own making that names what is no document here.
            const QString named = row.plant;
            const QString of = named.startsWith("../") ? path("x.pdf") : named == "l.pdf" ? path("in/l.pdf") : path("in/x.pdf");
            QVERIFY(testpdfs::writeBytes(path("in/" + noteName(named)), noteFor(named, 2, of)));
            if (named == ".x.pdf")
                QVERIFY(QFile::copy(path("doc.pdf"), path("in/.x.pdf")));
        }
        const auto outside = [&] {
            auto all = clitest::snapshot(dir->path());
            for (auto it = all.begin(); it != all.end();)
                it = it.key().startsWith("/in") || it.key().startsWith("/out") ? all.erase(it) : std::next(it);
            return all;
        };
        const auto before = outside();
        const auto watcher = watch({"--settle", "0.1"});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path("in/done/x.pdf")), kDeadline);
        QCOMPARE(stop(*watcher, SIGTERM), 0);
        const QString err = said(*watcher);
        QVERIFY2(err.count(row.said) == 1, qPrintable(err));
        QVERIFY2(!err.contains(kStoppedOnIt), qPrintable(err));
        QCOMPARE(testpdfs::pageCount(path("out/x.pdf")), 2);
        QVERIFY(QDir(path("in/failed")).isEmpty());
        QVERIFY(outside() == before);
        QVERIFY(QFileInfo(path("in/l.pdf")).isSymLink());
        if (row.said.endsWith("; removed"))
            QCOMPARE(hidden(path("in")), row.plant == ".x.pdf" ? QStringList{".x.pdf"} : QStringList());
    }

    // A document the process really dies on (killed while it reads it): the
    // next start tries it once more, first and with nothing beside it; after
    // a second death it goes to failed/, and the documents beside it are
    // stamped. a2.pdf, read beside a.pdf at the first death only, is tried
    // once more and stamped. A stop asked for (SIGTERM) is no death.
    void deaths_data()
    {
        table<Deaths>({{"killed twice: set aside", {SIGKILL, SIGKILL, "failed"}},
                       {"killed, then stopped while tried again: tried once more", {SIGKILL, SIGTERM, "done"}},
                       {"stopped, then killed: tried once more", {SIGTERM, SIGKILL, "done"}}});
    }
    void deaths()
    {
        const Deaths row = fetch<Deaths>();
        for (const QString name : {"a.pdf", "a2.pdf"})
            QVERIFY(QFile::copy(slowDocument(), path("in/" + name)));
        const QString note = path("in/" + noteName("a.pdf")), other = path("in/" + noteName("a2.pdf"));
        const QStringList options{"--settle", "0.1", "-j", "2"};
        int deaths = 0;
        for (int round = 0; round < 2; ++round) {
            const int signal = round == 0 ? row.first : row.second;
            const bool retry = deaths > 0;
            const auto watcher = watch(options);
            if (retry) {
                QVERIFY2(soon([&] { return notedStarts(note) == 2; }), qPrintable(said(*watcher)));
                // Time enough for b.pdf or a2.pdf to be started, were they handed out beside a.pdf.
                QTest::qWait(1000);
                QVERIFY2(notedStarts(note) == 2, "the slow document was done too soon");
                QCOMPARE(notedStarts(other), 1);
                QVERIFY(!QFileInfo::exists(path("out/b.pdf")));
            } else {
                QVERIFY2(soon([&] { return notedStarts(note) == 1 && notedStarts(other) == 1; }), qPrintable(said(*watcher)));
            }
            QCOMPARE(stop(*watcher, signal), signal == SIGKILL ? -1 : 0);
            QCOMPARE(said(*watcher).count("in/a.pdf: " + kStoppedOnIt + "; trying it once more"), retry ? 1 : 0);
            deaths += signal == SIGKILL;
            // A stop leaves the notes as they were before this start.
            QCOMPARE(notedStarts(note), deaths);
            QCOMPARE(notedStarts(other), deaths > 0 ? 1 : 0);
            QVERIFY(QFileInfo::exists(path("in/a.pdf")) && QFileInfo::exists(path("in/a2.pdf")));
            QVERIFY(!QFileInfo::exists(path("out/a.pdf")));
            if (round == 0)
                QVERIFY(QFile::copy(path("doc.pdf"), path("in/b.pdf")));
        }
        const auto watcher = watch(options);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path("in/done/b.pdf")) && QFileInfo::exists(path("in/done/a2.pdf"))
                                     && QFileInfo::exists(path("in/" + row.fate + "/a.pdf")),
                                 kDeadline);
        QCOMPARE(stop(*watcher, SIGTERM), 0);
        if (row.fate == "failed") {
            QCOMPARE(clitest::contents(path("in/failed/a.txt")), ("in/a.pdf: " + kStoppedOnIt + '\n').toUtf8());
            QVERIFY(!QFileInfo::exists(path("out/a.pdf")));
            QVERIFY2(said(*watcher).contains("1 failed in "), qPrintable(said(*watcher)));
        }
        QVERIFY(QFileInfo::exists(path("out/a2.pdf")));
        QCOMPARE(testpdfs::pageCount(path("out/b.pdf")), 2);
        QCOMPARE(hidden(path("in")), QStringList());
    }

    // A full output disk loses nothing: the documents wait in the folder and
    // are stamped once there is room again.
    void fullDisk()
    {
        testdisk::SmallDisk disk(path("full"));
        if (!disk.isTmpfs())
            QSKIP("a full disk needs a tmpfs, which only root may mount");
        QVERIFY(disk.limit(0));
        const auto watcher = watch({"--settle", "0.2"}, "full");
        const QStringList names{"a.pdf", "b.pdf", "c.pdf"};
        for (const QString& name : names)
            arrive(path("doc.pdf"), name);
        QTRY_VERIFY_WITH_TIMEOUT(said(*watcher).count(disk.reason() + "; trying again in ") >= names.size(), kDeadline);
        QCOMPARE(pdfs(path("in")), names);
        QVERIFY(QDir(path("in/failed")).isEmpty() && QDir(path("in/done")).isEmpty());
        QCOMPARE(QDir(path("full")).entryList(QDir::Files | QDir::Hidden), QStringList{"filler"});

        disk.lift();
        QTRY_COMPARE_WITH_TIMEOUT(pdfs(path("in/done")), names, kDeadline);
        QCOMPARE(pdfs(path("full")), names);
        for (const QString& name : names)
            QCOMPARE(testpdfs::pageCount(path("full/" + name)), 2);
        QVERIFY(pdfs(path("in")).isEmpty());
        QCOMPARE(stop(*watcher, SIGTERM), 0);
    }

    // Stopped in the middle of a run (asked to, or killed), the watch loses
    // no document and leaves no half-written output; started again, it
    // stamps what is left.
    void restart_data() { table<Stop>({{"SIGTERM", {SIGTERM}}, {"SIGINT", {SIGINT}}, {"SIGKILL", {SIGKILL}}}); }
    void restart()
    {
        const Stop row = fetch<Stop>();
        QStringList names;
        QVERIFY(testpdfs::writeNumbered(path("long.pdf"), 40));
        for (int i = 1; i <= 30; ++i)
            QVERIFY(QFile::copy(path("long.pdf"), path("in/" + names.emplaceBack(QStringLiteral("d%1.pdf").arg(i, 2, 10, QChar('0'))))));
        {
            const auto watcher = watch({"--settle", "0.1", "-j", "2"});
            QTRY_VERIFY_WITH_TIMEOUT(pdfs(path("in/done")).size() >= 3, kDeadline);
            QCOMPARE(stop(*watcher, row.signal), row.signal == SIGKILL ? -1 : 0);
            const QString err = said(*watcher);
            QVERIFY2(row.signal == SIGKILL || (err.contains(" stamped, 0 failed in ") && err.contains(", stopped")), qPrintable(err));
        }
        const QStringList waiting = pdfs(path("in")), done = pdfs(path("in/done"));
        QStringList all = waiting + done;
        all.sort();
        QCOMPARE(all, names); // each once
        QVERIFY(QDir(path("in/failed")).isEmpty());
        for (const QString& name : done)
            QVERIFY2(QFileInfo::exists(path("out/" + name)), qPrintable(name));
        for (const QString& name : pdfs(path("out")))
            QCOMPARE(testpdfs::pageCount(path("out/" + name)), 40);
        if (row.signal != SIGKILL) {
            QCOMPARE(QDir(path("out")).entryList(QDir::Files | QDir::Hidden), pdfs(path("out")));
            QCOMPARE(hidden(path("in")), QStringList()); // a stop asked for leaves no note of a death
        }

        const auto again = watch({"--settle", "0.1", "-j", "2"});
        QTRY_COMPARE_WITH_TIMEOUT(pdfs(path("in/done")), names, kDeadline);
        QCOMPARE(pdfs(path("out")), names);
        for (const QString& name : waiting)
            QCOMPARE(testpdfs::pageCount(path("out/" + name)), 40);
        QCOMPARE(stop(*again, SIGTERM), 0);
        QCOMPARE(hidden(path("in")), QStringList());
    }

    // A template changed in the application (the store's settings replaced)
    // stamps the documents that arrive afterwards; those before keep theirs.
    void templateChange()
    {
        const QString store = path("data/" QUILLARY_BUNDLE_IDENTIFIER);
        QVERIFY(clitest::writeStore(store));
        const auto watcher{clitest::Tool{dir->path()}.start({"-t", "Behind", "--watch", "in", "--output-dir", "out", "--settle", "0.2"})};
        arrive(path("doc.pdf"), "before.pdf");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path("in/done/before.pdf")), kDeadline);
        QCOMPARE(stationeryColour(path("out/before.pdf")), 'R');

        QVERIFY(clitest::writeStore(store, QColor(Qt::blue)));
        QTRY_VERIFY_WITH_TIMEOUT(said(*watcher, QProcess::StandardOutput).contains("template \"Behind\" changed"), kDeadline);
        arrive(path("doc.pdf"), "after.pdf");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path("in/done/after.pdf")), kDeadline);
        QCOMPARE(stationeryColour(path("out/after.pdf")), 'B');
        QCOMPARE(stationeryColour(path("out/before.pdf")), 'R');
        QCOMPARE(stop(*watcher, SIGTERM), 0);
        QVERIFY2(onlySummary(*watcher, 2), qPrintable(said(*watcher)));
    }

    // A drop folder shared with a colleague (mode 2770), watched by the
    // victim: what the colleague plants there never leads the watch into the
    // victim's private files, and is named once on stderr.
    void sharedDropFolder_data()
    {
        table<Hostile>({
            {"a link to the victim's private document",
             {"in/steal.pdf=link", 0, "in/steal.pdf: a symbolic link, which is not followed; left alone"}},
            {"a pipe", {"in/pipe.pdf=fifo", 0, "in/pipe.pdf: not a regular file; left alone"}},
            {"failed/ a link into a private folder",
             {"in/failed=link", 1, "in/failed: is a link, not a folder of its own; refused"}},
            {"done/ the colleague's own folder", {"in/done=colleague", 1, "in/done: belongs to another user; refused"}},
            {"done/ swapped for a link while the watch runs",
             {"swap", 0, "in/done: has been replaced by a link; refused"}},
        });
    }
    void sharedDropFolder()
    {
        const Hostile row = fetch<Hostile>();
        QUILLARY_TWO_USERS(people);
        const auto& victim = people->victim;
        QVERIFY(QDir().mkpath(path("private")) && QDir().mkpath(path("in/.x")) && QDir(path("in")).rmdir(".x"));
        QVERIFY(testpdfs::writeNumbered(path("private/private.pdf"), 1) && testpdfs::writeBytes(path("private/notes.txt"), "mine"));
        QVERIFY(QProcess::execute("chown", {"-R", QStringLiteral("%1:%2").arg(victim.uid).arg(victim.gid), dir->path()}) == 0);
        QVERIFY(::chmod(QFile::encodeName(dir->path()).constData(), 0755) == 0
                && ::chmod(QFile::encodeName(path("private")).constData(), 0700) == 0
                && ::chmod(QFile::encodeName(path("private/private.pdf")).constData(), 0600) == 0);
        QVERIFY(twousers::give(path("in"), victim, true) && ::chmod(QFile::encodeName(path("in")).constData(), 02770) == 0);
        // The colleague's doing.
        const auto [where, kind] = std::pair(row.plant.section('=', 0, 0), row.plant.section('=', 1));
        if (kind == "link")
            QVERIFY(QFile::link(path(where.endsWith(".pdf") ? "private/private.pdf" : "private"), path(where)));
        else if (kind == "fifo")
            QVERIFY(::mkfifo(QFile::encodeName(path(where)).constData(), 0660) == 0);
        else if (kind == "colleague")
            QVERIFY(QDir().mkpath(path(where)));
        if (!kind.isEmpty())
            QVERIFY(twousers::give(path(where), people->colleague, true));
        QVERIFY(testpdfs::writeBytes(path("in/notes.pdf"), "not a PDF\n") && twousers::give(path("in/notes.pdf"), people->colleague, true));

        clitest::Tool victimsTool{dir->path(), std::tuple(victim.uid, victim.gid, victim.office)};
        const auto watcher = victimsTool.start({"--start", "s.pdf", "--watch", "in", "--output-dir", "out", "--settle", "0.1"});
        if (row.exitCode != 0) {
            QVERIFY(watcher->waitForFinished(kDeadline));
            QCOMPARE(watcher->exitCode(), row.exitCode);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path("in/failed/notes.pdf")), kDeadline);
            if (row.plant == "swap") {
                QVERIFY(QDir(path("in")).rename("done", "done-before") && QFile::link(path("private"), path("in/done")));
                QVERIFY(twousers::give(path("in/done"), people->colleague, true));
                QVERIFY(testpdfs::writeNumbered(path("in/later.pdf"), 2) && twousers::give(path("in/later.pdf"), victim));
                QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path("out/later.pdf")) && said(*watcher).contains(row.said), kDeadline);
            }
            QTRY_VERIFY_WITH_TIMEOUT(said(*watcher).contains(row.said), kDeadline);
            QTest::qWait(500); // some more rounds of the watch: told once, all the same
            QCOMPARE(stop(*watcher, SIGTERM), 0);
        }
        const QString err = said(*watcher);
        QVERIFY2(err.contains(row.said), qPrintable(err));
        QCOMPARE(err.count(row.said), 1);
        // A shared drop folder is worth a word at the start.
        QCOMPARE(err.contains("warning: in: other users can write to this folder"), row.exitCode == 0);
        // Nothing of the victim's reached the colleague, nothing private was touched.
        QCOMPARE(QDir(path("private")).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList({"notes.txt", "private.pdf"}));
        QCOMPARE(bytesOf(path("private/notes.txt")), QByteArray("mine"));
        QVERIFY(!QFileInfo::exists(path("out/steal.pdf")) && !QFileInfo::exists(path("out/pipe.pdf")));
        if (kind == "link" || kind == "fifo")
            QVERIFY(QFileInfo(path(where)).isSymLink() || kind == "fifo"); // left where it was
        if (row.plant == "swap")
            QVERIFY(QFileInfo::exists(path("in/later.pdf"))); // kept until done/ is its own again
    }

    // quillary-stamp run by the victim onto a name in a sticky shared folder
    // where the colleague planted a link to the victim's private file.
    void plantedOutputLink_data()
    {
        table<PlantedOutput>({{"the colleague's link", {false, 1, "out.pdf: is a link that belongs to another user"}},
                              {"the victim's own link", {true, 0, ""}}});
    }
    void plantedOutputLink()
    {
        const PlantedOutput row = fetch<PlantedOutput>();
        QUILLARY_TWO_USERS(people);
        const auto& victim = people->victim;
        QVERIFY(QDir().mkpath(path("keep")) && QDir().mkpath(path("shared")) && testpdfs::writeBytes(path("keep/x.txt"), "mine"));
        QVERIFY(QProcess::execute("chown", {"-R", QStringLiteral("%1:%2").arg(victim.uid).arg(victim.gid), dir->path()}) == 0);
        QVERIFY(::chmod(QFile::encodeName(dir->path()).constData(), 0755) == 0
                && ::chmod(QFile::encodeName(path("keep")).constData(), 0700) == 0);
        QVERIFY(::chown(QFile::encodeName(path("shared")).constData(), 0, 0) == 0
                && ::chmod(QFile::encodeName(path("shared")).constData(), 01777) == 0);
        QVERIFY(QFile::link(path("keep/x.txt"), path("shared/out.pdf")));
        QVERIFY(twousers::give(path("shared/out.pdf"), row.linkIsVictims ? victim : people->colleague));

        const clitest::Ran ran = clitest::Tool{dir->path(), std::tuple(victim.uid, victim.gid, victim.office)}.run(
            {"--start", "s.pdf", "doc.pdf", "shared/out.pdf"});
        QVERIFY2(ran.exitCode == row.exitCode, qPrintable(ran.err));
        QVERIFY2(ran.err.contains(row.said), qPrintable(ran.err));
        if (row.exitCode == 0)
            QCOMPARE(testpdfs::pageCount(path("keep/x.txt")), 2);
        else
            QCOMPARE(bytesOf(path("keep/x.txt")), QByteArray("mine"));
        QVERIFY(QFileInfo(path("shared/out.pdf")).isSymLink());
    }

    // A name made up to break lines: stderr and the note in failed/ each
    // keep it on one line, with the breaking characters shown escaped.
    // A name that is not UTF-8 decodes to one that names another file (or
    // none), and two of them decode alike: such names are never opened, told
    // once, and do not hide the file whose name they decode to.
    void namesThatAreNotUtf8()
    {
        const QByteArray in = QFile::encodeName(path("in")) + '/';
        QVERIFY(testpdfs::writeNumbered(path("private.pdf"), 1));
        QVERIFY(::symlink(QFile::encodeName(path("private.pdf")).constData(), (in + "\xa3.pdf").constData()) == 0);
        QVERIFY(testpdfs::writeNumbered(path("latin.pdf"), 2) && ::rename(QFile::encodeName(path("latin.pdf")).constData(),
                                                                          (in + "\xff.pdf").constData()) == 0);
        arrive(path("doc.pdf"), QString(QChar(0xfffd)) + ".pdf"); // what both decode to, as a real name
        const auto watcher = watch({"--settle", "0.1"});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path("out/\uFFFD.pdf")), kDeadline);
        QCOMPARE(stationeryColour(path("out/\uFFFD.pdf")), 'R');
        struct stat info {};
        QVERIFY(::lstat((in + "\xa3.pdf").constData(), &info) == 0 && S_ISLNK(info.st_mode));
        QVERIFY(::lstat((in + "\xff.pdf").constData(), &info) == 0 && S_ISREG(info.st_mode));
        QCOMPARE(stop(*watcher, SIGTERM), 0);
        QCOMPARE(said(*watcher).count("a name that is not valid UTF-8; left alone"), 2);
        QCOMPARE(QDir(path("out")).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void failureNoteOneLine_data()
    {
        table<Refused>({{"line break", {"a\nb.pdf", "a\\nb.pdf", 1}},
                        {"escape sequence", {"a\x1b[2Jb.pdf", "a\\u{001B}[2Jb.pdf", 1}},
                        {"right-to-left mark", {"a\u200Fb.pdf", "a\\u{200F}b.pdf", 1}},
                        {"word joiner", {"a\u2060b.pdf", "a\\u{2060}b.pdf", 1}}});
    }
    void failureNoteOneLine()
    {
        const Refused row = fetch<Refused>();
        const QString name = row.kind;
        QVERIFY(testpdfs::writeBytes(path("in/" + name), "no PDF\n"));
        const auto watcher = watch({"--settle", "0.05"});
        const QString note = path("in/failed/" + name.chopped(4) + ".txt");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(note), kDeadline);
        QCOMPARE(stop(*watcher, SIGTERM), 0);
        const QByteArray text = bytesOf(note);
        QCOMPARE(text.count('\n'), 1);
        QVERIFY2(text.startsWith(("in/" + row.reason + ": ").toUtf8()), text.constData());
        const QString err = said(*watcher);
        QVERIFY2(err.contains("in/" + row.reason + ": "), qPrintable(err));
        QCOMPARE(err.count('\n'), 2); // the failure and the summary
    }

private:
    QString path(const QString& name) const { return dir->filePath(name); }
    // A document that takes seconds to stamp, made once for the suite.
    QString slowDocument()
    {
        if (!slow) {
            slow = std::make_unique<QTemporaryDir>();
            if (!testpdfs::writeNumbered(slow->filePath("slow.pdf"), 16000))
                return {};
        }
        return slow->filePath("slow.pdf");
    }
    clitest::Tool tool() const { return clitest::Tool{dir->path()}; }
    std::unique_ptr<QProcess> watch(const QStringList& options, const QString& outbox = "out") const
    {
        return clitest::Tool{dir->path()}.start(QStringList{"--start", "s.pdf", "--watch", "in", "--output-dir", outbox} + options);
    }
    // A whole document arrives in the watched folder under its name, by a
    // rename from a hidden name, as a careful copy does.
    void arrive(const QString& from, const QString& name) const
    {
        QVERIFY(QFile::copy(from, path("in/.part")) && QFile::rename(path("in/.part"), path("in/" + name)));
    }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<QTemporaryDir> slow;
};

QTEST_MAIN(StampFoldersTest)
#include "tst_stampfolders.moc"
