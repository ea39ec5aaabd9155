// quillary-stamp run as a program on real files; results read back with qpdf.

#include "cli_test_store.h"
#include "pdf/PdfChecks.h"

#include "pdf/TaskManager.h"

#include <QDirIterator>
#include <QProcess>

#include <qpdf/Pl_Buffer.hh>

using namespace quillary;
using namespace pdfchecks;
using namespace Qt::StringLiterals;

namespace {

std::string pageContents(const QString& path, int index)
{
    QPDF pdf;
    pdf.processFile(QFile::encodeName(path).constData());
    Pl_Buffer buffer("contents");
    QPDFPageDocumentHelper(pdf).getAllPages().at(index).pipeContents(&buffer);
    auto data = buffer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
}

// Every file, folder and link under root with what it holds, to see that a
// refused run changed nothing: no output, no store file, no scratch file.
QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QFile file(info.filePath());
        entries[info.filePath().mid(root.size())] = info.isSymLink() ? "-> " + info.symLinkTarget().toUtf8()
            : info.isDir()                                           ? QByteArray("folder")
            : file.open(QIODevice::ReadOnly)                         ? file.readAll()
                                                                     : QByteArray("unreadable");
    }
    return entries;
}

// A run of the tool: arguments ("S/" starts a path in the store), standard input.
struct Run { QStringList arguments; QByteArray input; };
// A run that is refused: its exit status and a part of its one stderr line.
struct Refusal { Run run; int exitCode; QString message; };
// A protected output: the password that opens it ("" none), the owner
// password that lifts its restrictions ("" none known), printing allowed.
struct Protected { Run run; QString user, owner; bool print; };

} // namespace

class StampToolTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void templateStamp();
    void help();
    void protection_data();
    void protection();
    void refusals_data();
    void refusals();

private:
    QString path(const QString& name) const { return dir->filePath(name); }
    QString store() const { return path(storeFolder()); }
    static QString storeFolder() { return "data/" QUILLARY_BUNDLE_IDENTIFIER; }
    int run(const Run& r, QString* out = nullptr, QString* err = nullptr)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", dir->path());
        env.insert("XDG_DATA_HOME", path("data"));
        env.insert("XDG_CONFIG_HOME", path("config"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir->path());
        QStringList arguments;
        for (const QString& a : r.arguments)
            arguments << (a.startsWith("S/") ? storeFolder() + a.mid(1) : a);
        process.start(QUILLARY_STAMP_BINARY, arguments);
        process.write(r.input);
        process.closeWriteChannel();
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        if (out)
            *out = QString::fromUtf8(process.readAllStandardOutput());
        if (err)
            *err = QString::fromUtf8(process.readAllStandardError());
        return process.exitCode();
    }

    std::unique_ptr<QTemporaryDir> dir;
};

void StampToolTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(clitest::writeStore(store()));
    QVERIFY(clitest::writeStationery(path("s.pdf")));
    QVERIFY(testpdfs::writeNumbered(path("doc.pdf"), 3));
    QVERIFY(testpdfs::writeBytes(path("bad.pdf"), "%PDF-1.4\nno PDF at all\n"));
    QVERIFY(testpdfs::writeBytes(path("out.pdf"), "an earlier output"));
    QVERIFY(testpdfs::writeBytes(path("own.txt"), "Swordfish7\r\nsecond line\n"));
    QVERIFY(testpdfs::writeBytes(path("latin1.txt"), "Gr\xfc\xdf Gott\n"));
    QVERIFY(QFile::link(store() + "/settings.plist", path("settings-link.pdf")));
    QVERIFY(QFile::link(store(), path("store-link")));
}

void StampToolTest::templateStamp()
{
    QString out, err;
    QCOMPARE(run({{"--list-templates"}}, &out, &err), 0);
    QCOMPARE(out, "Behind\tDIN A4\tenabled\nOver\tUS Letter\tdisabled\nGone\tDIN A4\tenabled\n");
    QVERIFY2(err.isEmpty(), qPrintable(err));

    const QString first = "-10.1,12", later = "0.3,-7.7";
    QCOMPARE(run({{"-t", "Behind", "--first-offset", first, "--offset", later, "--title", "Angebot", "--author",
                   "A. Person", "doc.pdf", "cli.pdf"}}, &out, &err), 0);
    QVERIFY2(err.isEmpty() && out.isEmpty(), qPrintable(err + out));
    QCOMPARE(testpdfs::pageCount(path("cli.pdf")), 3);
    for (int p = 0; p < 3; ++p)
        QCOMPARE(testpdfs::mediaBox(path("cli.pdf"), p), QRectF(0, 0, 595, 842));
    QCOMPARE(information(path("cli.pdf")), (QStringList{"Author=A. Person", "Creator=Quillary", "Title=Angebot"}));

    // The application hands the engine each typed number as a float times 17/6.
    auto mm = [](const QString& pair, int i) { return static_cast<double>(pair.section(',', i, i).toFloat()) * 17 / 6; };
    const MergeRequest app{.documentPath = path("doc.pdf"), .outputPath = path("app.pdf"),
        .startPagePath = store() + "/tempf00.pdf", .continuationPagePath = store() + "/temp00.pdf",
        .options = {{SaveOptions::ALLOW_PRINT, true}, {SaveOptions::WITH_PASSWORD, false}, {SaveOptions::PASSWORD, ""}},
        .useStartPage = true, .useContinuationPage = true, .firstPageOffsetY = mm(first, 1),
        .firstPageOffsetX = mm(first, 0), .continuationOffsetY = mm(later, 1), .continuationOffsetX = mm(later, 0),
        .documentFormat = FormatA4};
    const Result merged = TaskManager::mergeDocument(app);
    QVERIFY2(merged.ok(), qPrintable(merged.error));
    for (int p = 0; p < 3; ++p)
        QCOMPARE(pageContents(path("cli.pdf"), p), pageContents(path("app.pdf"), p));
}

void StampToolTest::help()
{
    QString out;
    QCOMPARE(run({{"--help"}}, &out), 0);
    for (const char* option : {"--password-file FILE", "--owner-password-file FILE", "cannot be lifted",
                               "--output-dir DIR", "--suffix TEXT", "-j, --jobs N", "--watch IN_DIR", "--settle SECONDS",
                               "--output-dir DIR DOCUMENT.pdf...", "--watch IN_DIR --output-dir OUT_DIR"})
        QVERIFY2(out.contains(option), option);
    for (const QString& line : out.split('\n'))
        QVERIFY2(line.size() <= 80, qPrintable(line));
}

void StampToolTest::protection_data()
{
    const QStringList files{"--start", "s.pdf", "doc.pdf", "out.pdf"};
    table<Protected>({
        {"user and owner password",
         {{files + QStringList{"--password", "u1", "--forbid-print", "--owner-password", "Swordfish7"}}, "u1",
          "Swordfish7", false}},
        {"--forbid-print alone: opens freely, the restriction stays for good",
         {{files + QStringList{"--forbid-print"}}, "", "", false}},
        {"passwords from standard input and a file",
         {{files + QStringList{"--password-file", "-", "--forbid-print", "--owner-password-file", "own.txt"}, "u1\n"},
          "u1", "Swordfish7", false}},
        {"password prepared: soft hyphen dropped, ligature expanded",
         {{files + QStringList{"--password", u"pass\u00AD\uFB01sh"_s}}, "passfish", "", true}},
    });
}

void StampToolTest::protection()
{
    const Protected row = fetch<Protected>();
    QString err;
    QCOMPARE(run(row.run, nullptr, &err), 0);
    QVERIFY2(err.isEmpty(), qPrintable(err));
    QCOMPARE(bool(open(path("out.pdf"))), row.user.isEmpty());
    const auto pdf = open(path("out.pdf"), row.user.toUtf8().constData());
    QVERIFY(pdf);
    QVERIFY(pdf->isEncrypted());
    QCOMPARE(testpdfs::pageCount(path("out.pdf"), row.user), 3);
    QCOMPARE(pdf->allowPrintHighRes(), row.print);
    QCOMPARE(pdf->allowExtractAll(), row.print);
    QVERIFY(!pdf->ownerPasswordMatched()); // the user password gives no owner rights
    if (!row.owner.isEmpty())
        QVERIFY(open(path("out.pdf"), row.owner.toUtf8().constData())->ownerPasswordMatched());
}

void StampToolTest::refusals_data()
{
    const QStringList start{"--start", "s.pdf"}, files{"doc.pdf", "out.pdf"};
    const QStringList stamp = start + files;
    auto with = [&](const QStringList& options) { return start + options + files; };
    table<Refusal>({
        {"unknown option", {{QStringList{"--frobnicate"} + stamp}, 2, "Unknown option 'frobnicate'"}},
        {"missing OUTPUT", {{start + QStringList{"doc.pdf"}}, 2, "expected DOCUMENT.pdf and OUTPUT.pdf"}},
        {"offset not X,Y", {{with({"--offset", "10,5,3"})}, 2, "--offset: \"10,5,3\" is not X,Y"}},
        {"value option given twice", {{with({"--title", "a", "--title", "b"})}, 2, "--title given more than once"}},
        {"short and long name given", {{with({"-t", "Behind", "--template", "Over"})}, 2, "--template given more than once"}},
        {"switch given twice", {{with({"--no-terms", "--no-terms"})}, 2, "--no-terms given more than once"}},
        {"owner password without --forbid-print",
         {{with({"--owner-password", "Swordfish7"})}, 2, "--owner-password only takes effect with --forbid-print"}},
        {"owner password file without --forbid-print",
         {{with({"--owner-password-file", "own.txt"})}, 2, "--owner-password-file only takes effect with --forbid-print"}},
        {"owner password equal to the password",
         {{with({"--password", "Swordfish7", "--forbid-print", "--owner-password", "Swordfish7"})}, 2,
          "--owner-password: the owner password: it is the same as the password once prepared"}},
        {"equal once a soft hyphen is dropped",
         {{with({"--password", "Swordfish7", "--forbid-print", "--owner-password", u"Sword\u00ADfish7"_s})}, 2,
          "--owner-password: the owner password: it is the same"}},
        {"equal once NFKC expands a ligature",
         {{with({"--password", u"Sword\uFB01sh7"_s, "--forbid-print", "--owner-password", "Swordfish7"})}, 2,
          "--owner-password: the owner password: it is the same"}},
        {"equal once NFKC narrows a full-width digit",
         {{with({"--password", "Swordfish7", "--forbid-print", "--owner-password", u"Swordfish\uFF17"_s})}, 2,
          "--owner-password: the owner password: it is the same"}},
        {"equal, from standard input and a file",
         {{with({"--password-file", "-", "--forbid-print", "--owner-password-file", "own.txt"}), "Swordfish7\n"}, 2,
          "--owner-password-file own.txt: the owner password: it is the same"}},
        {"both from standard input",
         {{with({"--password-file", "-", "--forbid-print", "--owner-password-file", "-"})}, 2,
          "--password-file and --owner-password-file cannot both read standard input"}},
        {"password and password file",
         {{with({"--password", "Swordfish7", "--password-file", "own.txt"})}, 2,
          "--password and --password-file contradict each other"}},
        {"empty password", {{with({"--password="})}, 2, "--password must not be empty"}},
        {"password that becomes empty",
         {{with({"--password", u"\u00AD\u200D"_s})}, 2, "--password: the password: it holds only characters that are dropped"}},
        {"password longer than AES-256 keeps",
         {{with({"--password", u"Swordfish7\u00E9"_s.repeated(11)})}, 2, "132 bytes long once prepared as UTF-8; AES-256 keeps at most 127"}},
        {"password file not UTF-8", {{with({"--password-file", "latin1.txt"})}, 2, "--password-file latin1.txt: the password is not UTF-8 text"}},
        {"password with a control character", {{with({"--password", "Swordfish\x07"})}, 2, "--password: the password: it holds a character"}},
        {"offset beyond ten pages in x", {{with({"--offset", "2101,0"})}, 2, "--offset: 2101.0,0.0 mm lies beyond the page"}},
        {"first offset beyond ten pages in y", {{with({"--first-offset", "0,-2972"})}, 2, "--first-offset: 0.0,-2972.0 mm lies beyond"}},
        {"offset no reader could parse", {{with({"--offset", "1e30,0"})}, 2, "--offset: "}},
        {"output is the document", {{start + QStringList{"doc.pdf", "doc.pdf"}}, 2, "doc.pdf: OUTPUT is the document itself"}},
        {"output is the stationery", {{{"--terms", "s.pdf", "doc.pdf", "s.pdf"}}, 2, "s.pdf: OUTPUT is the terms page file"}},
        {"output is the template's page in use", {{{"-t", "Behind", "doc.pdf", "S/tempf00.pdf"}}, 2, "OUTPUT is the start page file"}},
        {"output is the settings file", {{start + QStringList{"doc.pdf", "S/settings.plist"}}, 2, "settings.plist: OUTPUT lies in the template store"}},
        {"output is a stored page", {{start + QStringList{"doc.pdf", "S/tempb00.pdf"}}, 2, "tempb00.pdf: OUTPUT lies in the template store"}},
        {"output is a scratch file of the store", {{start + QStringList{"doc.pdf", "S/tmp1.pdf"}}, 2, "tmp1.pdf: OUTPUT lies in the template store"}},
        {"output is a link to the settings file", {{start + QStringList{"doc.pdf", "settings-link.pdf"}}, 2, "settings-link.pdf: OUTPUT lies in the template store"}},
        {"output through a link into the store", {{start + QStringList{"doc.pdf", "store-link/new.pdf"}}, 2, "new.pdf: OUTPUT lies in the template store"}},

        {"--watch without --output-dir", {{start + QStringList{"--watch", "."}}, 2, "--watch needs --output-dir OUT_DIR"}},
        {"--watch with file arguments",
         {{start + QStringList{"--watch", ".", "--output-dir", "S", "doc.pdf"}}, 2, "--watch takes no file arguments"}},
        {"--output-dir without documents",
         {{start + QStringList{"--output-dir", "."}}, 2, "expected at least one DOCUMENT.pdf with --output-dir"}},
        {"--suffix without --output-dir", {{with({"--suffix", "-x"})}, 2, "--suffix only takes effect with --output-dir"}},
        {"-j without --output-dir", {{with({"-j3"})}, 2, "-j only takes effect with --output-dir"}},
        {"-j 0", {{start + QStringList{"--output-dir", ".", "-j", "0", "doc.pdf"}}, 2,
                  "-j needs a number of documents from 1 to 64, not \"0\""}},
        {"-j beyond 64", {{start + QStringList{"--output-dir", ".", "--jobs=65", "doc.pdf"}}, 2, "from 1 to 64, not \"65\""}},
        {"--suffix with a folder in it",
         {{start + QStringList{"--output-dir", ".", "--suffix", "x/y", "doc.pdf"}}, 2, "--suffix must not hold a /"}},
        {"--settle without --watch",
         {{start + QStringList{"--output-dir", ".", "--settle", "1", "doc.pdf"}}, 2, "--settle only takes effect with --watch"}},
        {"--settle of no time",
         {{start + QStringList{"--watch", ".", "--output-dir", "S", "--settle", "0"}}, 2,
          "--settle needs a number of seconds from 0.05 to 3600, not \"0\""}},
        {"watched folder is the output folder",
         {{start + QStringList{"--watch", ".", "--output-dir", "./"}}, 2, "the output folder must not be the watched folder"}},
        {"watched folder missing", {{start + QStringList{"--watch", "nowhere", "--output-dir", "."}}, 1, "nowhere: no such folder"}},

        {"missing document", {{start + QStringList{"none.pdf", "out.pdf"}}, 1, "none.pdf: no such file"}},
        {"unreadable document", {{start + QStringList{"bad.pdf", "out.pdf"}}, 1, "bad.pdf"}},
        {"unreadable stationery", {{{"--terms", "bad.pdf", "doc.pdf", "out.pdf"}}, 1, "bad.pdf"}},
        {"unwritable output", {{start + QStringList{"doc.pdf", "/proc/out.pdf"}}, 1, "/proc/out.pdf"}},
        {"unknown template", {{{"-t", "Nobody", "doc.pdf", "out.pdf"}}, 1, "no template named \"Nobody\""}},
        {"template page missing from the store",
         {{{"-t", "Gone", "doc.pdf", "out.pdf"}}, 1, "template \"Gone\": its terms page (number 5) is missing from the store"}},
        {"missing password file", {{with({"--password-file", "none.txt"})}, 1, "none.txt: no such file (--password-file none.txt)"}},
    });
}

void StampToolTest::refusals()
{
    const Refusal row = fetch<Refusal>();
    const auto before = snapshot(dir->path());
    QString out, err;
    QCOMPARE(run(row.run, &out, &err), row.exitCode);
    QVERIFY2(err.startsWith("quillary-stamp: ") && err.count('\n') == 1 && err.contains(row.message), qPrintable(err));
    QVERIFY2(!err.contains("fish"), qPrintable(err)); // passwords never reach a message
    QVERIFY(out.isEmpty());
    QCOMPARE(snapshot(dir->path()), before);
}

QTEST_MAIN(StampToolTest)
#include "tst_stamptool.moc"
