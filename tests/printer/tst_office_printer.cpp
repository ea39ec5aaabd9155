// Letterhead printers end to end, on a private cupsd (scripts/private-cupsd):
// a "real printer" whose driver makes PDF (cups-filters' generic PDF
// printer) and whose device is a file, a letterhead printer added on top of
// it with quillary-printer, and jobs printed with lp, read back from the
// device file. Needs root (cupsd, lpadmin); nothing of the machine's own
// print system is used or changed.

#include "LetterheadChecks.h"

#include "store/CustomFileManager.h"

#include <cups/cups.h>

#include <unistd.h>

using namespace letterheadchecks;

namespace {

constexpr int kDeadline = 120000;
const QString kGenericPdfPpd = "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd";

struct Run {
    int exitCode = -1;
    QString out, err;
};

// A job: the document ("pdf", "ps": the same three pages in PostScript,
// "damaged"), lp's options, and the pages the device receives (see
// letterheadchecks::pages) or, for a refused job, a part of its message.
struct PrintCase {
    QString document, options, expected;
};

QByteArray postScript(int pages)
{
    QByteArray ps = "%!PS-Adobe-3.0\n%%Pages: " + QByteArray::number(pages) + "\n%%EndComments\n";
    for (int k = 1; k <= pages; ++k)
        ps += "%%Page: " + QByteArray::number(k) + ' ' + QByteArray::number(k)
              + "\n<< /PageSize [595 842] >> setpagedevice /Helvetica findfont 24 scalefont setfont 72 742 moveto (Page "
              + QByteArray::number(k) + ") show showpage\n";
    return ps + "%%EOF\n";
}

} // namespace

class OfficePrinterTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("the office printer tests need root: they run a cupsd of their own");
        QVERIFY2(QFile::exists(kGenericPdfPpd), "no generic PDF driver: scripts/deps.sh installs cups-filters");
        QVERIFY(writeStationery(path("stationery")));
        QVERIFY(testpdfs::writeNumbered(path("three.pdf"), 3));
        QVERIFY(testpdfs::writeBytes(path("three.ps"), postScript(3)));
        QVERIFY(testpdfs::writeBytes(path("damaged.pdf"), "%PDF-1.7\n1 0 obj << /Type /Catalog >> garbage\n%%EOF\n"));
        cupsd.setProcessChannelMode(QProcess::MergedChannels);
        cupsd.start(QUILLARY_SOURCE_DIR "/scripts/private-cupsd", {cups.path(), QUILLARY_BACKEND});
        const bool up = cupsd.waitForStarted(kDeadline) && QTest::qWaitFor([&] {
            return cupsd.state() != QProcess::Running || run("lpstat", {"-r"}).out.contains("is running");
        }, kDeadline);
        QVERIFY2(up && cupsd.state() == QProcess::Running, "cupsd (scripts/deps.sh installs it) does not run: " + cupsd.readAll());
        const Run real = run("lpadmin", {"-p", "Real", "-E", "-v", "file://" + device(), "-P", kGenericPdfPpd, "-D", "Real printer",
                                   "-o", "PageSize=A4"});
        QVERIFY2(real.exitCode == 0, qPrintable(real.err));
        const Run added = office({"add", "Office", "--on", "Real", "--start", path("stationery/start.pdf"), "--continuation",
                                  path("stationery/continuation.pdf"), "--terms", path("stationery/terms.pdf")});
        QVERIFY2(added.exitCode == 0, qPrintable(added.err));
        QVERIFY2(added.out.contains("Added Office on Real: start, continuation, terms"), qPrintable(added.out));
    }

    void cleanupTestCase()
    {
        cupsd.terminate();
        cupsd.waitForFinished(kDeadline);
    }

    void printing_data()
    {
        table<PrintCase>({
            {"a PDF job", {"pdf", "", "S1 C2 C3 T"}},
            {"a PostScript job reaches the step as PDF", {"ps", "", "S1 C2 C3 T"}},
            {"letterhead off: the plain document", {"pdf", "-o quillary-letterhead=off", "P1 P2 P3"}},
            {"terms page off", {"pdf", "-o quillary-terms=off", "S1 C2 C3"}},
            {"page ranges apply to the stamped pages", {"pdf", "-o page-ranges=2-4", "C2 C3 T"}},
            {"every copy carries the stationery", {"pdf", "-n 2 -o collate=true", "S1 C2 C3 T S1 C2 C3 T"}},
            {"a damaged job is refused", {"damaged", "", "no readable PDF document"}},
        });
    }
    void printing()
    {
        const PrintCase row = fetch<PrintCase>();
        QVERIFY(testpdfs::writeBytes(device(), "before"));
        const QString document = row.document == "pdf" ? path("three.pdf") : row.document == "ps" ? path("three.ps") : path("damaged.pdf");
        const int job = print("Office", row.options.split(' ', Qt::SkipEmptyParts), document);
        QVERIFY2(job > 0, "lp took no job");
        if (row.document == "damaged") {
            // The job stops, the queue says why, and nothing reaches the printer.
            Run state;
            QVERIFY2(QTest::qWaitFor([&] {
                // The job's message, until cupsd sums it up as "Filter failed"; the printer's stays.
                state = run("lpstat", {"-l", "-o", "Office"});
                state.out += run("lpstat", {"-l", "-p", "Office"}).out;
                return state.out.contains("Letterhead: ") && !state.out.contains(" processing ");
            }, kDeadline), qPrintable(state.out));
            QVERIFY2(state.out.contains(row.expected) && state.out.contains("nothing was printed"), qPrintable(state.out));
            QVERIFY2(!state.out.contains("quillary-letterhead-"), "the message names the job's scratch file");
            // (cupsd opens a file device as the job starts: empty, but no page in it.)
            QVERIFY2(!bytesOf(device()).contains("%PDF"), "a page of the refused job reached the printer");
            QVERIFY(run("cancel", {QStringLiteral("Office-%1").arg(job)}).exitCode == 0);
            QVERIFY(run("lpstat", {"-p", "Office"}).out.contains("enabled")); // the queue goes on
            return;
        }
        QVERIFY2(ended(job), "the job did not finish");
        QVERIFY(testpdfs::writeBytes(path("printed.pdf"), pdfIn(bytesOf(device()))));
        QCOMPARE(pages(path("printed.pdf"), false), row.expected);
    }

    // What the scheduler itself says of the new queue: only known users may
    // print to it, it is not shared unless asked, and it prints on the real
    // printer's device.
    void queueAttributes()
    {
        QCOMPARE(printerAttribute("Office", "printer-op-policy"), "authenticated");
        QCOMPARE(printerAttribute("Office", "printer-is-shared"), "false");
        QCOMPARE(printerAttribute("Office", "device-uri"), "file://" + device());
        QCOMPARE(printerAttribute("Office", "printer-is-accepting-jobs"), "true");
    }

    void sharedQueue()
    {
        const Run added = office({"add", "Shared", "--on", "Real", "--start", path("stationery/start.pdf"), "--shared",
                                  "--description", "HP Office (Briefpapier)"});
        QVERIFY2(added.exitCode == 0, qPrintable(added.err));
        QCOMPARE(printerAttribute("Shared", "printer-is-shared"), "true");
        QCOMPARE(printerAttribute("Shared", "printer-info"), "HP Office (Briefpapier)");
        QCOMPARE(printerAttribute("Shared", "printer-op-policy"), "authenticated");
        QVERIFY(office({"list"}).out.contains(QRegularExpression("^Shared\ton Real\tstart \\(.*\tshared$", QRegularExpression::MultilineOption)));
        QCOMPARE(office({"remove", "Shared"}).exitCode, 0);
        QVERIFY(!QFileInfo::exists(printers() + "/Shared"));
    }

    void listsItsPrinters()
    {
        const Run list = office({"list"});
        QCOMPARE(list.exitCode, 0);
        QVERIFY2(list.out.contains(QRegularExpression("^Office\ton Real\tstart, continuation, terms \\(stationery behind the content\\)\t"
                                                      "letterhead on, terms page on\tlocal", QRegularExpression::MultilineOption)),
                 qPrintable(list.out));
        QVERIFY2(!list.out.contains("Real\ton"), "the real printer is listed as a letterhead printer");
    }

    // Refusals leave the print system as it was.
    void refusals_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("name taken") << "add Office --on Real --start S" << "exists already";
        QTest::newRow("no such printer") << "add Other --on Missing --start S" << "no printer named Missing";
        QTest::newRow("on a letterhead printer") << "add Other --on Office --start S" << "itself a letterhead printer";
        QTest::newRow("stationery not a PDF") << QString("add Other --on Real --start " QUILLARY_SOURCE_DIR "/README.md") << "start page";
        QTest::newRow("stationery missing") << "add Other --on Real --start /nonexistent.pdf" << "/nonexistent.pdf";
        QTest::newRow("template not in the store") << "add Other --on Real --template Nope --store " + path("store") << "no template named";
        QTest::newRow("remove a printer of another kind") << "remove Real" << "no letterhead printer";
        QTest::newRow("remove a printer that is not there") << "remove Nobody" << "no letterhead printer named Nobody";
    }
    void refusals()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, expected);
        QVERIFY(quillary::CustomFileManager(quillary::StoreConfig{.directory = path("store")}).storeDirectory().size() > 0);
        const QString before = run("lpstat", {"-v"}).out + snapshot();
        QStringList words = arguments.split(' ');
        words.replaceInStrings(QRegularExpression("^S$"), path("stationery/start.pdf"));
        const Run refused = office(words);
        QVERIFY(refused.exitCode != 0);
        QVERIFY2(refused.err.contains(expected), qPrintable(refused.err));
        QCOMPARE(run("lpstat", {"-v"}).out + snapshot(), before);
    }

    // A template of a user's store replaces the stationery in place; the
    // store is only read.
    void updateFromTemplate()
    {
        quillary::CustomFileManager store(quillary::StoreConfig{.directory = path("store")});
        quillary::TemplateEdit edit;
        edit.typedName = "Briefpapier";
        edit.source(quillary::PageKind::Start) = path("stationery/start.pdf");
        QVERIFY(store.saveTemplate(edit));
        const QString storeBefore = run("sh", {"-c", "find \"$0\" -printf '%P %s %T@ %m\\n' | sort", path("store")}).out;
        const Run updated = office({"update", "Office", "--template", "Briefpapier", "--store", path("store")});
        QVERIFY2(updated.exitCode == 0, qPrintable(updated.err));
        QCOMPARE(run("sh", {"-c", "find \"$0\" -printf '%P %s %T@ %m\\n' | sort", path("store")}).out, storeBefore);
        QCOMPARE(QDir(printers() + "/Office").entryList(QDir::Files), QStringList{"start.pdf"});

        const int job = print("Office", {}, path("three.pdf"));
        QVERIFY(ended(job));
        QVERIFY(testpdfs::writeBytes(path("printed.pdf"), pdfIn(bytesOf(device()))));
        QCOMPARE(pages(path("printed.pdf"), false), "S1 P2 P3");
    }

    void removeLeavesNothing()
    {
        const Run removed = office({"remove", "Office"});
        QVERIFY2(removed.exitCode == 0, qPrintable(removed.err));
        QVERIFY(run("lpstat", {"-p", "Office"}).exitCode != 0);
        QVERIFY(run("lpstat", {"-p", "Real"}).exitCode == 0);
        QVERIFY(!QFileInfo::exists(printers() + "/Office"));
        QCOMPARE(QDir(printers()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

private:
    QString path(const QString& name) const { return cups.filePath(name); }
    QString device() const { return path("device.pdf"); }
    QString printers() const { return path("printers"); }
    QString snapshot() const
    {
        return run("sh", {"-c", "find \"$0\" -printf '%P %y %s\\n' | sort", printers()}).out;
    }
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CUPS_SERVER", path("cups.sock"));
        env.insert("LC_ALL", "C");
        env.insert("QUILLARY_PRINTERS_ROOT", printers());
        env.insert("QUILLARY_LETTERHEAD_FILTER", QUILLARY_LETTERHEAD_FILTER);
        env.remove("SUDO_UID");
        return env;
    }
    Run run(const QString& program, const QStringList& arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(program, arguments);
        process.closeWriteChannel();
        process.waitForFinished(kDeadline);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
    }
    // One attribute of a queue as the scheduler reports it, as text.
    QString printerAttribute(const QString& queue, const char* name) const
    {
        http_t* http = httpConnect2(QFile::encodeName(path("cups.sock")).constData(), 0, nullptr, AF_LOCAL,
                                    HTTP_ENCRYPTION_NEVER, 1, 30000, nullptr);
        if (!http)
            return "no connection";
        ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
        const QByteArray uri = "ipp://localhost/printers/" + queue.toUtf8();
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.constData());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, name);
        ipp_t* response = cupsDoRequest(http, request, "/");
        QString value = "absent";
        if (ipp_attribute_t* attribute = response ? ippFindAttribute(response, name, IPP_TAG_ZERO) : nullptr) {
            char text[1024];
            ippAttributeString(attribute, text, sizeof text);
            value = QString::fromUtf8(text);
        }
        ippDelete(response);
        httpClose(http);
        return value;
    }
    Run office(const QStringList& arguments) const { return run(QUILLARY_OFFICE_PRINTER, arguments); }
    int print(const QString& queue, const QStringList& options, const QString& document) const
    {
        const Run lp = run("lp", QStringList{"-d", queue} + options << document);
        return QRegularExpression("request id is \\S+-(\\d+) ").match(lp.out).captured(1).toInt();
    }
    // Whether the job has left the list of jobs still to print.
    bool ended(int job) const
    {
        const QRegularExpression id(QStringLiteral("^\\S+-%1 ").arg(job), QRegularExpression::MultilineOption);
        return job > 0 && QTest::qWaitFor([&] { return !run("lpstat", {"-W", "not-completed", "-o"}).out.contains(id); }, kDeadline);
    }

    QTemporaryDir cups; // the private cupsd's folder, the device file, the stationery
    QProcess cupsd;
};

QTEST_GUILESS_MAIN(OfficePrinterTest)
#include "tst_office_printer.moc"
