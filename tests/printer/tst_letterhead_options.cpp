// The letterhead queue's decisions that need no scheduler: the job options
// cupsd passes, the queue's settings in its PPD, the filter's arguments and
// quillary-printer's command line.

#include "pdf/PdfChecks.h"

#include "printer/letterhead/LetterheadFilter.h"
#include "printer/letterhead/QueueSettings.h"
#include "printer/office/OfficeCommand.h"

using namespace quillary::letterhead;
using namespace quillary::office;
using namespace pdfchecks;

namespace {

// A job's option text, the option asked for, and its value ("-": absent).
struct OptionCase {
    QString options, name, value;
};
// The queue's defaults (PPD lines), the job's options, and the letterhead
// and terms choice ("LT", "L-", "--"), or a part of the error.
struct ChoiceCase {
    QByteArray ppd;
    QString options, expected;
};
// quillary-printer's arguments and a summary of what they parse to, or a
// part of the error.
struct CommandCase {
    QString arguments, expected;
};

const QByteArray kFolder = "*QuillaryStationery: \"/var/lib/quillary/printers/Office\"\n";

QString summary(const OfficeCommand& c)
{
    const auto pair = [](const std::optional<std::pair<double, double>>& p) {
        return p ? QStringLiteral("%1,%2").arg(p->first).arg(p->second) : QStringLiteral("-");
    };
    const char* actions[] = {"add", "update", "remove", "list", "help"};
    return QStringLiteral("%1 %2 on=%3 template=%4 store=%5 start=%6 cont=%7 terms=%8 layer=%9 first=%10 offset=%11%12")
        .arg(QString::fromLatin1(actions[int(c.action)]), c.name, c.on, c.templateName.value_or("-"), c.store.value_or("-"),
             c.start.value_or("-"), c.continuation.value_or("-"), c.terms.value_or("-"),
             c.stationeryOver ? (*c.stationeryOver ? "over" : "behind") : "-")
        .arg(pair(c.firstOffset), pair(c.offset), c.shared ? " shared" : "");
}

} // namespace

class LetterheadOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void options_data()
    {
        table<OptionCase>({
            {"plain value", {"number-up=1 quillary-letterhead=off media=A4", "quillary-letterhead", "off"}},
            {"absent", {"number-up=1 media=A4", "quillary-letterhead", "-"}},
            {"name is a prefix of another", {"quillary-letterhead-default=off", "quillary-letterhead", "-"}},
            {"other name ends with it", {"xquillary-letterhead=off", "quillary-letterhead", "-"}},
            {"any case", {"Quillary-Letterhead=Off", "quillary-letterhead", "Off"}},
            {"bare name is true", {"a=1 quillary-terms b=2", "quillary-terms", "true"}},
            {"no-prefix is false", {"noquillary-terms", "quillary-terms", "false"}},
            {"last one counts", {"quillary-terms=on quillary-terms=off", "quillary-terms", "off"}},
            {"quoted value with spaces", {"job-name='a quillary-terms=on b' quillary-terms=off", "quillary-terms", "off"}},
            {"double quotes", {"quillary-terms=\"o\"ff", "quillary-terms", "off"}},
            {"escaped space inside another value", {"title=a\\ quillary-terms=on", "quillary-terms", "-"}},
            {"collection braces", {"media-col={media-size={x-dimension=1 quillary-terms=on}} quillary-terms=off",
                                   "quillary-terms", "off"}},
            {"empty value", {"quillary-terms= x=1", "quillary-terms", ""}},
            {"unterminated quote", {"quillary-terms='on", "quillary-terms", "on"}},
            {"empty text", {"", "quillary-terms", "-"}},
        });
    }
    void options()
    {
        const OptionCase row = fetch<OptionCase>();
        QCOMPARE(optionValue(row.options, row.name).value_or("-"), row.value);
    }

    void choices_data()
    {
        const QByteArray offTerms = kFolder + "*Defaultquillary-terms: Off\n";
        const QByteArray offLetter = kFolder + "*Defaultquillary-letterhead: Off\r\n";
        table<ChoiceCase>({
            {"queue defaults, nothing asked", {kFolder, "number-up=1", "LT"}},
            {"letterhead off on the command line", {kFolder, "quillary-letterhead=off", "--"}},
            {"print dialog spelling", {kFolder, "quillary-letterhead=Off", "--"}},
            {"terms off only", {kFolder, "quillary-terms=false", "L-"}},
            {"queue without terms", {offTerms, "", "L-"}},
            {"job turns the queue's terms on", {offTerms, "quillary-terms=On", "LT"}},
            {"queue off, CRLF PPD", {offLetter, "", "--"}},
            {"job turns the queue's letterhead on", {offLetter, "quillary-letterhead=yes", "LT"}},
            {"letterhead off takes the terms page with it", {kFolder, "quillary-letterhead=off quillary-terms=on", "--"}},
            {"a value that is no switch", {kFolder, "quillary-letterhead=maybe", "neither on nor off"}},
            {"empty value", {kFolder, "quillary-terms=", "neither on nor off"}},
            {"no stationery folder", {"*Defaultquillary-terms: On\n", "", "not a letterhead queue"}},
            {"relative folder", {"*QuillaryStationery: \"printers/Office\"\n", "", "no absolute folder"}},
            {"climbing folder", {"*QuillaryStationery: \"/var/lib/../../etc\"\n", "", "no absolute folder"}},
            {"bad default", {kFolder + "*Defaultquillary-letterhead: Sometimes\n", "", "not On or Off"}},
            {"bad layer", {kFolder + "*QuillaryLayer: \"beside\"\n", "", "not \"behind\" or \"over\""}},
            {"bad offset", {kFolder + "*QuillaryOffset: \"1 2 3\"\n", "", "not two numbers"}},
            {"huge offset", {kFolder + "*QuillaryFirstOffset: \"1e9 0\"\n", "", "not two numbers"}},
            {"nan offset", {kFolder + "*QuillaryFirstOffset: \"nan 0\"\n", "", "not two numbers"}},
        });
    }
    void choices()
    {
        const ChoiceCase row = fetch<ChoiceCase>();
        const SettingsResult settings = readQueuePpd(row.ppd);
        QString got = settings.error;
        if (settings.settings) {
            const ChoiceResult choice = chooseForJob(*settings.settings, row.options);
            got = choice.choice ? QString(choice.choice->letterhead ? "L" : "-") + (choice.choice->terms ? "T" : "-") : choice.error;
        }
        QVERIFY2(got == row.expected || (row.expected.size() > 2 && got.contains(row.expected)), qPrintable(got));
    }

    // What quillary-printer writes is what the filter reads, and writing it
    // again replaces the old block instead of adding a second.
    void ppdBlockRoundTrip()
    {
        QueueSettings s;
        s.folder = "/var/lib/quillary/printers/HP-Office";
        s.realPrinter = "HP";
        s.stationeryOver = true;
        s.firstOffsetX = 12.5;
        s.firstOffsetY = -3;
        s.offsetX = 0.25;
        s.offsetY = 7;
        s.letterhead = true;
        s.terms = false;
        const QByteArray driver = "*PPD-Adobe: \"4.3\"\n*ModelName: \"Generic PDF Printer\"\n";
        const QByteArray once = withoutPpdBlock(driver) + ppdBlock(s, "quillary-letterhead");
        QVERIFY(once.contains("*cupsPreFilter: \"application/pdf 0 quillary-letterhead\"\n"));
        QVERIFY(once.contains("*OpenUI *quillary-letterhead/Letterhead: PickOne"));
        QVERIFY(once.contains("*OpenUI *quillary-terms/Terms page: PickOne"));
        const SettingsResult read = readQueuePpd(once);
        QVERIFY2(read.settings, qPrintable(read.error));
        const QueueSettings& r = *read.settings;
        QCOMPARE(r.folder, s.folder);
        QCOMPARE(r.realPrinter, s.realPrinter);
        QCOMPARE(r.stationeryOver, true);
        QCOMPARE(QList<double>({r.firstOffsetX, r.firstOffsetY, r.offsetX, r.offsetY}), QList<double>({12.5, -3, 0.25, 7}));
        QCOMPARE(r.terms, false);
        QCOMPARE(withoutPpdBlock(once), driver);
        s.stationeryOver = false;
        const QByteArray twice = withoutPpdBlock(once) + ppdBlock(s, "/opt/filter");
        QCOMPARE(twice.count("*cupsPreFilter"), 1);
        QCOMPARE(readQueuePpd(twice).settings->stationeryOver, false);
    }

    void filterArguments_data()
    {
        table<CommandCase>({
            {"five arguments", {"7|anna|Invoice|1|number-up=1", "7 anna Invoice 1 - number-up=1"}},
            {"with a file", {"7|anna|Invoice|2||/spool/d7", "7 anna Invoice 2 /spool/d7 "}},
            {"too few", {"7|anna|Invoice|1", "usage:"}},
            {"too many", {"7|anna|Invoice|1|x|f|g", "usage:"}},
            {"copies not a number", {"7|anna|Invoice|two|x", "no positive number"}},
            {"copies zero", {"7|anna|Invoice|0|x", "no positive number"}},
            {"empty file name", {"7|anna|Invoice|1|x|", "file argument is empty"}},
        });
    }
    void filterArguments()
    {
        const CommandCase row = fetch<CommandCase>();
        const ArgumentsResult parsed = parseFilterArguments(row.arguments.split('|'));
        const QString got = parsed.arguments
            ? QStringList{parsed.arguments->jobId, parsed.arguments->user, parsed.arguments->title,
                          QString::number(parsed.arguments->copies), parsed.arguments->file.value_or("-"), parsed.arguments->options}.join(' ')
            : parsed.error;
        QVERIFY2(got == row.expected || (!parsed.arguments && got.contains(row.expected)), qPrintable(got));
    }

    void commands_data()
    {
        table<CommandCase>({
            {"add with a template", {"add Office --on HP --template Briefpapier",
                                     "add Office on=HP template=Briefpapier store=- start=- cont=- terms=- layer=- first=- offset=-"}},
            {"add with files, layout and sharing",
             {"add Office --on HP --start s.pdf --continuation c.pdf --terms t.pdf --over --first-offset 10,-20 --offset 0.5,1 --shared",
              "add Office on=HP template=- store=- start=s.pdf cont=c.pdf terms=t.pdf layer=over first=10,-20 offset=0.5,1 shared"}},
            {"offset with a space", {"add Office --on HP --start s.pdf --offset 3 4",
                                     "usage-error"}},
            {"template from another store", {"update Office --template T --store /home/anna/store",
                                             "update Office on= template=T store=/home/anna/store start=- cont=- terms=- layer=- first=- offset=-"}},
            {"update layout only", {"update Office --behind", "update Office on= template=- store=- start=- cont=- terms=- layer=behind first=- offset=-"}},
            {"remove", {"remove Office", "remove Office on= template=- store=- start=- cont=- terms=- layer=- first=- offset=-"}},
            {"list", {"list", "list  on= template=- store=- start=- cont=- terms=- layer=- first=- offset=-"}},
            {"no command", {"", "no command"}},
            {"unknown command", {"delete Office", "unknown command"}},
            {"add without a printer", {"add Office --template T", "needs --on"}},
            {"add without stationery", {"add Office --on HP", "needs stationery"}},
            {"add on itself", {"add HP --on HP --start s.pdf", "on itself"}},
            {"template and files", {"add Office --on HP --template T --start s.pdf", "exclude each other"}},
            {"store without template", {"add Office --on HP --start s.pdf --store /x", "--store needs --template"}},
            {"behind and over", {"add Office --on HP --start s.pdf --behind --over", "exclude each other"}},
            {"option given twice", {"add Office --on HP --start a.pdf --start b.pdf", "given twice"}},
            {"option without value", {"add Office --on HP --start", "needs a value"}},
            {"offset not numbers", {"add Office --on HP --start s.pdf --offset a,b", "not X,Y"}},
            {"offset too far", {"add Office --on HP --start s.pdf --offset 99999,0", "not X,Y"}},
            {"name with a slash", {"add ../etc --on HP --start s.pdf", "cannot name a printer"}},
            {"name with a space", {"add HP\tOffice --on HP --start s.pdf", "cannot name a printer"}},
            {"name starting with a dot", {"remove .hidden", "cannot name a printer"}},
            {"name too long", {"remove " + QString(128, 'n'), "cannot name a printer"}},
            {"real printer name with a slash", {"add Office --on a/b --start s.pdf", "cannot name a printer"}},
            {"remove takes no options", {"remove Office --shared", "takes no option"}},
            {"update with nothing", {"update Office", "needs something to change"}},
            {"shared only on add", {"update Office --shared", "takes no option"}},
            {"name missing", {"remove", "needs the NAME"}},
        });
    }
    void commands()
    {
        const CommandCase row = fetch<CommandCase>();
        QStringList arguments = row.arguments.split(' ', Qt::SkipEmptyParts);
        for (QString& a : arguments)
            a.replace('\t', ' ');
        const CommandResult parsed = parseCommand(arguments);
        const QString got = parsed.command ? summary(*parsed.command) : parsed.error;
        if (row.expected == "usage-error")
            QVERIFY2(!parsed.command, qPrintable(got));
        else
            QVERIFY2(got == row.expected || (!parsed.command && got.contains(row.expected)), qPrintable(got));
    }
};

QTEST_GUILESS_MAIN(LetterheadOptionsTest)
#include "tst_letterhead_options.moc"
