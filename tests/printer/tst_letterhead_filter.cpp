// The stamping step run the way cupsd runs it (job arguments, the queue's
// PPD, the job on standard input or in a file), in process: what reaches
// standard output for good and bad jobs, and that a job that cannot be
// stamped prints nothing at all. Needs root: the queue's stationery must be
// root's, as quillary-printer leaves it.

#include "LetterheadChecks.h"

#include "printer/letterhead/LetterheadFilter.h"
#include "printer/letterhead/QueueSettings.h"

#include <algorithm>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillary::letterhead;
using namespace letterheadchecks;

namespace {

// What the test arranges (steps separated by "; "): "rm FILE" (in the
// stationery folder), "chmod MODE" (of the folder), "link FILE TARGET",
// "ppd LINES" (extra PPD lines, "\n" between), "limit BYTES" (the job size
// bound), "memory BYTES" (the largest job kept in memory), "outmemory BYTES"
// (the largest stamped job kept in memory), "notmp" (no scratch folder),
// "full" (standard output on a full disk), "noppd"; the job ("pdf",
// "pdf-file": as the sixth argument, "pdf-pipe": through a pipe, "text",
// "damaged", "truncated", "encrypted", "zero", "empty"), its options,
// the exit status and the printed pages (see letterheadchecks::pages;
// "same": the job's own bytes) or a part of the error line.
struct FilterCase {
    QString setup, job, options;
    int status;
    QString expected;
};

} // namespace

class LetterheadFilterTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("the stationery must be root's, as quillary-printer leaves it");
        // A filter that stops reading a pipe early: the feeder's write fails instead.
        std::signal(SIGPIPE, SIG_IGN);
    }

    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(writeStationery(folder()));
        QVERIFY(testpdfs::writeNumbered(path("pdf"), 3));
        QVERIFY(testpdfs::writeBytes(path("text"), "Dear reader,\nthis is plain text.\n"));
        QVERIFY(testpdfs::writeBytes(path("empty"), ""));
        QVERIFY(testpdfs::writeEncrypted(path("encrypted"), "secret", "owner"));
        QVERIFY(testpdfs::writeZeroPages(path("zero")));
        const QByteArray whole = bytesOf(path("pdf"));
        QVERIFY(testpdfs::writeBytes(path("truncated"), whole.left(whole.size() / 2)));
        QVERIFY(testpdfs::writeBytes(path("damaged"), "%PDF-1.7\n1 0 obj << /Type /Catalog >> garbage\n%%EOF\n"));
    }

    void jobs_data()
    {
        table<FilterCase>({
            {"start, continuation, terms", {"", "pdf", "number-up=1", 0, "S1 C2 C3 T"}},
            {"the job as a file argument", {"", "pdf-file", "", 0, "S1 C2 C3 T"}},
            {"terms page off for this job", {"", "pdf", "quillary-terms=off", 0, "S1 C2 C3"}},
            {"queue without terms by default", {"ppd *Defaultquillary-terms: Off", "pdf", "", 0, "S1 C2 C3"}},
            {"letterhead off: the job unchanged", {"", "pdf", "quillary-letterhead=off", 0, "same"}},
            {"queue off, job on", {"ppd *Defaultquillary-letterhead: Off", "pdf", "quillary-letterhead=on", 0, "S1 C2 C3 T"}},
            {"queue off: the job unchanged", {"ppd *Defaultquillary-letterhead: Off", "text", "", 0, "same"}},
            {"no continuation page", {"rm continuation.pdf", "pdf", "", 0, "S1 P2 P3 T"}},
            {"no start page", {"rm start.pdf", "pdf", "", 0, "P1 C2 C3 T"}},
            {"stationery over the content", {"ppd *QuillaryLayer: \"over\"", "pdf", "", 0, "S1 C2 C3 T"}},
            {"not a PDF", {"", "text", "", 1, "no readable PDF document"}},
            {"damaged", {"", "damaged", "", 1, "nothing was printed"}},
            {"cut short", {"", "truncated", "", 1, "nothing was printed"}},
            {"password-protected", {"", "encrypted", "", 1, "protected by a password"}},
            {"no pages", {"", "zero", "", 1, "nothing was printed"}},
            {"empty job", {"", "empty", "", 1, "nothing was printed"}},
            {"larger than the bound", {"limit 1000", "pdf", "", 1, "larger than"}},
            {"bad option value", {"", "pdf", "quillary-terms=perhaps", 1, "neither on nor off"}},
            {"folder others may change", {"chmod 777", "pdf", "", 1, "may be changed by others"}},
            {"stationery is a link", {"rm start.pdf; link start.pdf /etc/passwd", "pdf", "", 1, "start.pdf"}},
            {"stationery gone", {"rm start.pdf; rm continuation.pdf; rm terms.pdf", "pdf", "", 1, "holds no stationery"}},
            {"not a letterhead queue's PPD", {"noppd", "pdf", "", 1, "not a letterhead queue"}},
            // Where the job and the stamped job are kept: memory, or scratch
            // files beyond the bounds; a pipe cannot be read twice.
            {"the job through a pipe", {"", "pdf-pipe", "", 0, "S1 C2 C3 T"}},
            {"a small job needs no scratch folder", {"notmp", "pdf", "", 0, "S1 C2 C3 T"}},
            {"job beyond the memory bound", {"memory 1000", "pdf", "", 0, "S1 C2 C3 T"}},
            {"job beyond the memory bound, as a file argument", {"memory 1000", "pdf-file", "", 0, "S1 C2 C3 T"}},
            {"job beyond the memory bound, through a pipe", {"memory 1000", "pdf-pipe", "", 0, "S1 C2 C3 T"}},
            {"job at the memory bound exactly", {"memory job; notmp", "pdf", "", 0, "S1 C2 C3 T"}},
            {"stamped job beyond the memory bound", {"outmemory 1000", "pdf", "", 0, "S1 C2 C3 T"}},
            {"both beyond the memory bounds, through a pipe", {"memory 1; outmemory 1", "pdf-pipe", "", 0, "S1 C2 C3 T"}},
            {"larger than the bound, through a pipe", {"limit 1000", "pdf-pipe", "", 1, "larger than"}},
            {"larger than the bound after spooling began", {"memory 500; limit 1000", "pdf-pipe", "", 1, "larger than"}},
            {"cut short, beyond the memory bound", {"memory 1000", "truncated", "", 1, "nothing was printed"}},
            {"job beyond the memory bound, no scratch folder", {"memory 1000; notmp", "pdf", "", 1, "no room for the job"}},
            {"stamped job beyond the memory bound, no scratch folder", {"outmemory 1000; notmp", "pdf", "", 1, "no room for the stamped job"}},
            {"standard output on a full disk", {"full", "pdf", "", 1, "could not be passed on"}},
            {"standard output on a full disk, from a scratch file", {"full; outmemory 1000", "pdf", "", 1, "could not be passed on"}},
        });
    }
    void jobs()
    {
        const FilterCase row = fetch<FilterCase>();
        QByteArray ppd = "*PPD-Adobe: \"4.3\"\n";
        FilterEnvironment environment{.ppdPath = path("queue.ppd"), .tempDir = path("tmp")};
        QVERIFY(QDir().mkpath(environment.tempDir));
        bool letterheadQueue = true, full = false;
        QByteArray extra;
        for (const QString& step : row.setup.split("; ", Qt::SkipEmptyParts)) {
            const QStringList w = step.split(' ');
            const QByteArray at = QFile::encodeName(folder() + '/' + w.value(1));
            QVERIFY2(w[0] == "rm"      ? ::unlink(at) == 0
                     : w[0] == "chmod" ? ::chmod(QFile::encodeName(folder()), w[1].toUInt(nullptr, 8)) == 0
                     : w[0] == "link"  ? ::symlink(QFile::encodeName(w[2]), at) == 0
                     : w[0] == "ppd"   ? !(extra += step.mid(4).toUtf8() + '\n').isEmpty()
                     : w[0] == "limit" ? (environment.maxJobBytes = w[1].toLongLong()) > 0
                     : w[0] == "memory" ? (environment.memoryJobBytes = w[1] == "job" ? bytesOf(path("pdf")).size() : w[1].toLongLong()) > 0
                     : w[0] == "outmemory" ? (environment.memoryOutputBytes = w[1].toLongLong()) > 0
                     : w[0] == "notmp" ? QDir(environment.tempDir).removeRecursively()
                     : w[0] == "full"  ? (full = true)
                     : w[0] == "noppd" ? !(letterheadQueue = false)
                                       : false,
                     qPrintable(step));
        }
        QueueSettings settings;
        settings.folder = folder();
        settings.realPrinter = "Real";
        if (letterheadQueue)
            ppd += ppdBlock(settings, "quillary-letterhead");
        // A later default line would be ignored: the row's lines go first.
        QVERIFY(testpdfs::writeBytes(environment.ppdPath, extra + ppd));

        const bool piped = row.job == "pdf-pipe";
        const QString job = path(row.job == "pdf-file" || piped ? "pdf" : row.job);
        QStringList arguments{"7", "anna", "Invoice", "1", row.options};
        if (row.job == "pdf-file")
            arguments << job;
        int in = -1;
        std::thread feeder;
        if (piped) {
            // The job through a pipe, as from a filter before this one; the
            // writer gives up when the filter stops reading.
            int ends[2];
            QVERIFY(::pipe(ends) == 0);
            in = ends[0];
            feeder = std::thread([bytes = bytesOf(job), writeEnd = ends[1]] {
                for (qsizetype done = 0; done < bytes.size();) {
                    const ssize_t n = ::write(writeEnd, bytes.constData() + done, size_t(std::min<qsizetype>(bytes.size() - done, 512)));
                    if (n <= 0)
                        break;
                    done += n;
                }
                ::close(writeEnd);
            });
        } else {
            in = ::open(QFile::encodeName(row.job == "pdf-file" ? path("empty") : job), O_RDONLY);
        }
        const int out = ::open(full ? "/dev/full" : QFile::encodeName(path("out.pdf")).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::FILE* err = std::tmpfile();
        QVERIFY(in >= 0 && out >= 0 && err);
        const int status = runFilter(arguments, environment, in, out, err);
        ::close(in);
        ::close(out);
        if (feeder.joinable())
            feeder.join();
        std::rewind(err);
        QByteArray messages(4096, '\0');
        messages.truncate(qsizetype(std::fread(messages.data(), 1, messages.size(), err)));
        std::fclose(err);

        QCOMPARE(status, row.status);
        if (row.status == 0) {
            const QString printed = row.expected == "same" ? (bytesOf(path("out.pdf")) == bytesOf(job) ? "same" : "changed")
                                                           : pages(path("out.pdf"));
            QCOMPARE(printed, row.expected);
        } else {
            QCOMPARE(bytesOf(path("out.pdf")), QByteArray()); // nothing printed, not even half
            QVERIFY2(messages.startsWith("ERROR: Letterhead: ") && messages.contains(row.expected.toUtf8()), messages.constData());
        }
        // The job's scratch files are gone, whatever happened.
        QCOMPARE(QDir(environment.tempDir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

    // The PDF the filter hands on keeps the job's page size on every page.
    void keepsPageSize()
    {
        QVERIFY(testpdfs::writeNumbered(path("letter"), 2, testpdfs::Letter));
        QueueSettings settings;
        settings.folder = folder();
        QVERIFY(testpdfs::writeBytes(path("queue.ppd"), ppdBlock(settings, "quillary-letterhead")));
        QVERIFY(QDir().mkpath(path("tmp")));
        const int in = ::open(QFile::encodeName(path("letter")), O_RDONLY);
        const int out = ::open(QFile::encodeName(path("out.pdf")), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::FILE* err = std::tmpfile();
        QCOMPARE(runFilter({"1", "u", "t", "1", ""}, {.ppdPath = path("queue.ppd"), .tempDir = path("tmp")}, in, out, err), 0);
        ::close(in);
        ::close(out);
        std::fclose(err);
        QCOMPARE(testpdfs::pageCount(path("out.pdf")), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(testpdfs::mediaBox(path("out.pdf"), i).size(), QSizeF(612, 792));
    }

private:
    QString path(const QString& name) const { return dir->filePath(name); }
    QString folder() const { return path("printers/Office"); }
    std::unique_ptr<QTemporaryDir> dir;
};

QTEST_GUILESS_MAIN(LetterheadFilterTest)
#include "tst_letterhead_filter.moc"
