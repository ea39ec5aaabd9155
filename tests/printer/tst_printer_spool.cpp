// The backend's spool rules on a folder of the test's own: the limits file,
// the room a user's folder has left, the removal of jobs nobody opened, the
// start of a document, and the writer under a folder that changes beneath it
// (a test pause at each stage of writing: the hidden file replaced by a link
// or another file there is never written through or named as a job).

#include "pdf/PdfChecks.h"

#include "printer/backend/SpoolLimits.h"
#include "printer/backend/SpoolWriter.h"

#include <cups/backend.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillary::printer;
using namespace pdfchecks;

namespace {

constexpr std::uint64_t KiB = 1024, MiB = KiB * 1024, GiB = MiB * 1024;

// A limits file's text, the four limits it gives and the warnings ("|" between them).
struct LimitsRow {
    QByteArray text;
    std::uint64_t jobBytes, userJobs, userBytes;
    int days;
    QString warnings;
};

// What a folder holds (jobs, bytes), the job's size when known, and the
// outcome: the room the job gets, or a part of the refusal.
struct RoomRow {
    std::uint64_t jobs, bytes, known;
    std::uint64_t room;
    QString said; // the refusal, or the one the writer gives a larger job
};

// Files of a folder: "NAME AGE_IN_DAYS" ("link NAME", "dir NAME" for others),
// and what is left ("|" between names) and removed.
struct SweepRow {
    QStringList files;
    QString left, removed;
    std::uint64_t jobs;
};

// The document's first bytes and whether it passes.
struct HeadRow {
    QByteArray document;
    int status;
};

// Where the writer is paused, what replaces its hidden file there.
struct SwapRow {
    WriteStage stage;
    QString replacement; // "link to file", "link to folder", "file"
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class SpoolTest : public QObject {
    Q_OBJECT

private slots:
    void init() { dir = std::make_unique<QTemporaryDir>(); }

    void limits_data()
    {
        table<LimitsRow>({
            {"no file text: the defaults", {"", 1 * GiB, 500, 4 * GiB, 30, ""}},
            {"every setting, units and comments",
             {"# ours\nmax-job-size = 512M\n  user-max-jobs=20\nuser-max-size = 2g # two\nmax-job-age = 7\n", 512 * MiB, 20, 2 * GiB, 7, ""}},
            {"plain bytes and kibibytes", {"max-job-size = 1000\nuser-max-size = 64K", 1000, 500, 64 * KiB, 30, ""}},
            {"zero keeps the limit",
             {"user-max-jobs = 0", 1 * GiB, 500, 4 * GiB, 30, "line 1: user-max-jobs = 0 is not a whole number above 0; the default stays"}},
            {"negative", {"max-job-age = -3", 1 * GiB, 500, 4 * GiB, 30, "line 1: max-job-age = -3 is not a number of days"}},
            {"too many days", {"max-job-age = 40000", 1 * GiB, 500, 4 * GiB, 30, "line 1: max-job-age = 40000 is not"}},
            {"overflowing size", {"max-job-size = 99999999999T", 1 * GiB, 500, 4 * GiB, 30, "line 1: max-job-size = 99999999999T is not a size"}},
            {"unit without number", {"max-job-size = G", 1 * GiB, 500, 4 * GiB, 30, "line 1: max-job-size = G is not a size"}},
            {"words", {"user-max-size = lots", 1 * GiB, 500, 4 * GiB, 30, "line 1: user-max-size = lots is not a size"}},
            {"unknown setting and a line without =",
             {"max-jobs = 3\n\nuser-max-jobs 7\nmax-job-size=2M", 2 * MiB, 500, 4 * GiB, 30,
              "line 1: unknown setting \"max-jobs\"; ignored|line 3: not \"name = value\"; ignored"}},
        });
    }
    void limits()
    {
        const LimitsRow row = fetch<LimitsRow>();
        std::vector<std::string> warnings;
        const SpoolLimits limits = parseSpoolLimits(row.text.toStdString(), &warnings);
        QCOMPARE(limits.maxJobBytes, row.jobBytes);
        QCOMPARE(limits.userMaxJobs, row.userJobs);
        QCOMPARE(limits.userMaxBytes, row.userBytes);
        QCOMPARE(limits.maxJobAgeDays, row.days);
        const QStringList expected = row.warnings.split('|', Qt::SkipEmptyParts);
        QCOMPARE(int(warnings.size()), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            QVERIFY2(QString::fromStdString(warnings[i]).startsWith(expected[i]), warnings[i].c_str());

        // The same text from a file; a file that is a link or too large gives the defaults and says so.
        QVERIFY(testpdfs::writeBytes(path("spool.conf"), row.text) && QFile::link(path("spool.conf"), path("link.conf")));
        warnings.clear();
        QCOMPARE(readSpoolLimits(QFile::encodeName(path("spool.conf")).constData(), &warnings).maxJobBytes, row.jobBytes);
        QCOMPARE(int(warnings.size()), expected.size());
        warnings.clear();
        QCOMPARE(readSpoolLimits(QFile::encodeName(path("link.conf")).constData(), &warnings).maxJobBytes, 1 * GiB);
        QCOMPARE(int(warnings.size()), 1);
    }

    void unreadableLimitsFiles()
    {
        std::vector<std::string> warnings;
        QVERIFY(readSpoolLimits(QFile::encodeName(path("none.conf")).constData(), &warnings).userMaxJobs == 500);
        QVERIFY(warnings.empty()); // no file: the defaults, nothing to say
        QVERIFY(testpdfs::writeBytes(path("huge.conf"), "user-max-jobs = 3\n" + QByteArray(70 * 1024, '#')));
        QCOMPARE(readSpoolLimits(QFile::encodeName(path("huge.conf")).constData(), &warnings).userMaxJobs, std::uint64_t(500));
        QCOMPARE(warnings, std::vector<std::string>{"it is larger than 64 KiB; the defaults apply"});
        warnings.clear();
        QCOMPARE(readSpoolLimits(QFile::encodeName(dir->path()).constData(), &warnings).userMaxJobs, std::uint64_t(500));
        QCOMPARE(warnings, std::vector<std::string>{"it is not a regular file; the defaults apply"});
    }

    void room_data()
    {
        table<RoomRow>({
            {"empty folder", {0, 0, 0, 1 * GiB, "The job is larger than 1 GiB, the most one job may have (max-job-size in /etc/quillary/spool.conf)"}},
            {"one job short of the count", {499, 0, 0, 1 * GiB, "larger than 1 GiB"}},
            {"as many jobs as it may hold", {500, 0, 0, 0, "already holds 500 waiting jobs, the most it may (user-max-jobs in"}},
            {"as many bytes as it may hold", {3, 4 * GiB, 0, 0, "have 4 GiB, the most they may have together is 4 GiB (user-max-size in"}},
            {"less left than a job may have", {3, 3 * GiB + 512 * MiB, 0, 512 * MiB,
                                                "does not fit: the user's waiting jobs may have 4 GiB together and have 3584 MiB"}},
            {"known size above the job limit", {0, 0, 1 * GiB + 1, 0, "The job is larger than 1 GiB"}},
            {"known size at the job limit", {0, 0, 1 * GiB, 1 * GiB, "larger than 1 GiB"}},
            {"known size above what is left", {0, 3 * GiB + 512 * MiB, 600 * MiB, 0, "does not fit"}},
        });
    }
    void room()
    {
        const RoomRow row = fetch<RoomRow>();
        std::uint64_t room = 0;
        std::string tooLarge;
        const Outcome outcome = checkRoom({row.jobs, row.bytes}, SpoolLimits(), row.known, &room, &tooLarge);
        QCOMPARE(outcome.ok(), row.room != 0);
        if (!outcome.ok()) {
            QCOMPARE(outcome.status, CUPS_BACKEND_CANCEL);
            QVERIFY2(QString::fromStdString(outcome.error).contains(row.said), outcome.error.c_str());
            return;
        }
        QCOMPARE(room, row.room);
        QVERIFY2(QString::fromStdString(tooLarge).contains(row.said), tooLarge.c_str());
    }

    void sweep_data()
    {
        table<SweepRow>({
            {"nothing old", {{"7-Letter.pdf 1", ".8.part 0"}, ".8.part|7-Letter.pdf", "", 2}},
            {"old jobs and unfinished files go",
             {{"7-Letter.pdf 31", ".8.part 45", "9-Recent.pdf 29"}, "9-Recent.pdf", ".8.part|7-Letter.pdf", 1}},
            {"other files, links and folders stay, whatever their age",
             {{"notes.txt 90", "link 5-Link.pdf", "dir 6-Folder.pdf", ".hidden.pdf 90", "upper.PDF 90"},
              ".hidden.pdf|5-Link.pdf|6-Folder.pdf|notes.txt|upper.PDF", "", 0}},
        });
    }
    void sweep()
    {
        const SweepRow row = fetch<SweepRow>();
        const std::time_t now = std::time(nullptr);
        QVERIFY(QDir().mkpath(path("user")) && testpdfs::writeBytes(path("target"), "not a job"));
        for (const QString& file : row.files) {
            const QString kind = file.section(' ', 0, 0), name = file.section(' ', 1);
            const QString at = path("user/") + (kind == "link" || kind == "dir" ? name : kind);
            if (kind == "link") {
                QVERIFY(QFile::link(path("target"), at));
            } else if (kind == "dir") {
                QVERIFY(QDir().mkpath(at));
            } else {
                QVERIFY(testpdfs::writeBytes(at, "%PDF-1.7\n"));
                const timespec times[2] = {{now, 0}, {now - name.toInt() * 24 * 60 * 60 - 60, 0}};
                QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(at).constData(), times, 0) == 0);
            }
        }
        Fd folder(::open(QFile::encodeName(path("user")).constData(), O_RDONLY | O_DIRECTORY));
        QStringList removed;
        const FolderUsage usage = sweepFolder(folder.get(), 30, now, [&](const std::string& name) { removed << QString::fromStdString(name); });
        removed.sort();
        QCOMPARE(entries(path("user")).join('|'), row.left);
        QCOMPARE(removed.join('|'), row.removed);
        QCOMPARE(usage.jobs, row.jobs);
        QCOMPARE(usage.bytes, row.jobs * 9);
        QCOMPARE(readAll(path("target")), QByteArray("not a job"));
    }

    void documentStart_data()
    {
        const QByteArray pdf = "%PDF-1.7\n%\xe2\xe3\xcf\xd3\n1 0 obj\n";
        table<HeadRow>({
            {"plain PDF", {pdf, 0}},
            {"printer-language preamble", {"\x1b%-12345X@PJL JOB NAME=\"x\"\r\n@PJL ENTER LANGUAGE=PDF\r\n" + pdf, 0}},
            {"header ends at byte 1024", {QByteArray(1019, ' ') + pdf, 0}},
            {"header crosses byte 1024", {QByteArray(1020, ' ') + pdf, CUPS_BACKEND_CANCEL}},
            {"header far in", {QByteArray(4096, 'x') + pdf, CUPS_BACKEND_CANCEL}},
            {"text", {"Dear reader,\n", CUPS_BACKEND_CANCEL}},
            {"header cut short", {"%PDF", CUPS_BACKEND_CANCEL}},
        });
    }
    void documentStart()
    {
        const HeadRow row = fetch<HeadRow>();
        QVERIFY(testpdfs::writeBytes(path("doc"), row.document));
        Fd input(::open(QFile::encodeName(path("doc")).constData(), O_RDONLY));
        std::vector<char> head;
        const Outcome outcome = readDocumentStart(input.get(), head, nullptr);
        QCOMPARE(outcome.status, row.status);
        if (outcome.ok())
            QCOMPARE(QByteArray(head.data(), qsizetype(head.size())), row.document.left(1024));
        else
            QCOMPARE(outcome.error, std::string("The document is not a PDF"));
    }

    // A document up to the bound is written whole; one byte more, whether
    // in the first bytes or later, is refused and leaves nothing.
    void sizeBound_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("bound");
        QTest::newRow("at the bound") << 600 * 1024 << 600 * 1024;
        QTest::newRow("one byte past, late") << 600 * 1024 + 1 << 600 * 1024;
        QTest::newRow("past in the first bytes") << 2000 << 1000;
        QTest::newRow("small") << 100 << 1000;
    }
    void sizeBound()
    {
        QFETCH(int, size);
        QFETCH(int, bound);
        QByteArray document = "%PDF-1.7\n" + QByteArray(size - 9, 'x');
        QString name;
        const Outcome outcome = write(document, {std::uint64_t(bound), "too large", {}}, &name);
        if (size <= bound) {
            QVERIFY2(outcome.ok(), outcome.error.c_str());
            QCOMPARE(entries(path("user")), QStringList{"7-Letter.pdf"});
            QCOMPARE(readAll(path("user/7-Letter.pdf")), document);
        } else {
            QCOMPARE(outcome.status, CUPS_BACKEND_CANCEL);
            QCOMPARE(outcome.error, std::string("too large"));
            QCOMPARE(entries(path("user")), QStringList());
        }
    }

    void swappedWhileWriting_data()
    {
        table<SwapRow>({
            {"link to a file, just created", {WriteStage::Created, "link to file"}},
            {"link to a file, while writing", {WriteStage::Writing, "link to file"}},
            {"link to a file, just before it is named", {WriteStage::Named, "link to file"}},
            {"link to a folder, just before it is named", {WriteStage::Named, "link to folder"}},
            {"another file, while writing", {WriteStage::Writing, "file"}},
            {"another file, just before it is named", {WriteStage::Named, "file"}},
        });
    }
    void swappedWhileWriting()
    {
        const SwapRow row = fetch<SwapRow>();
        QVERIFY(QDir().mkpath(path("private")) && testpdfs::writeBytes(path("private/keep.txt"), "kept"));
        const QString part = path("user/.7.part");
        bool swapped = false;
        WriteBounds bounds;
        bounds.pause = [&](WriteStage stage) {
            if (stage != row.stage)
                return;
            QFile::remove(part);
            swapped = row.replacement == "file" ? testpdfs::writeBytes(part, "someone else's")
                : QFile::link(row.replacement == "link to file" ? path("private/keep.txt") : path("private"), part);
        };
        const Outcome outcome = write("%PDF-1.7\n" + QByteArray(300 * 1024, 'x'), bounds, nullptr);
        QVERIFY(swapped);
        QCOMPARE(outcome.status, CUPS_BACKEND_CANCEL);
        QCOMPARE(outcome.error, std::string("The unfinished .7.part was replaced while it was written; nothing is written through it"));
        // Nothing went through the link, no job was named, the replacement stays as it was.
        QCOMPARE(readAll(path("private/keep.txt")), QByteArray("kept"));
        QCOMPARE(entries(path("private")), QStringList{"keep.txt"});
        QCOMPARE(entries(path("user")), QStringList{".7.part"});
        if (row.replacement == "file")
            QCOMPARE(readAll(part), QByteArray("someone else's"));
        else
            QVERIFY(QFileInfo(part).isSymLink());
    }

private:
    QString path(const QString& name) const { return dir->filePath(name); }
    // Writes job 7 "Letter" of document into the folder "user".
    Outcome write(const QByteArray& document, const WriteBounds& bounds, QString* name)
    {
        if (!QDir().mkpath(path("user")) || !testpdfs::writeBytes(path("document"), document))
            return {CUPS_BACKEND_FAILED, "test setup"};
        Fd folder(::open(QFile::encodeName(path("user")).constData(), O_RDONLY | O_DIRECTORY));
        Fd input(::open(QFile::encodeName(path("document")).constData(), O_RDONLY));
        std::vector<char> head;
        if (Outcome o = readDocumentStart(input.get(), head, nullptr); !o.ok())
            return o;
        const JobRequest job{"7", "someone", "Letter", "", std::nullopt};
        std::string written;
        const Outcome outcome = writeJob(folder.get(), input.get(), head, job, nullptr, &written, bounds);
        if (name)
            *name = QString::fromStdString(written);
        return outcome;
    }

    std::unique_ptr<QTemporaryDir> dir;
};

QTEST_GUILESS_MAIN(SpoolTest)
#include "tst_printer_spool.moc"
