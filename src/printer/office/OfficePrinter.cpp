#include "printer/office/OfficePrinter.h"

#include "printer/letterhead/QueueSettings.h"
#include "printer/office/CupsQueues.h"
#include "printer/office/PrinterFolders.h"
#include "printer/office/StationerySource.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <unistd.h>

namespace quillary::office {

namespace {

using letterhead::QueueSettings;

int failed(QTextStream& err, const QString& message)
{
    err << "quillary-printer: " << message << Qt::endl;
    return ExitFailure;
}

bool needsRoot(QTextStream& err, const QString& what)
{
    if (::geteuid() == 0)
        return false;
    failed(err, QStringLiteral("%1 changes the print system and needs root (sudo quillary-printer ...)").arg(what));
    return true;
}

// The real printer's PPD must not carry a PDF pre-filter of its own: CUPS
// runs one per type, and ours would not be sure to run.
bool hasOwnPdfPreFilter(const QByteArray& ppd)
{
    static const QRegularExpression line(QStringLiteral("^\\*cupsPreFilter:\\s*\"\\s*application/pdf\\s"),
                                         QRegularExpression::MultilineOption);
    return line.match(QString::fromUtf8(letterhead::withoutPpdBlock(ppd))).hasMatch();
}

// The layout a command asks for, on top of what was there.
void applyLayout(const OfficeCommand& command, const Stationery& stationery, QueueSettings& settings)
{
    if (stationery.stationeryOver)
        settings.stationeryOver = *stationery.stationeryOver;
    if (command.stationeryOver)
        settings.stationeryOver = *command.stationeryOver;
    if (command.firstOffset)
        std::tie(settings.firstOffsetX, settings.firstOffsetY) = *command.firstOffset;
    if (command.offset)
        std::tie(settings.offsetX, settings.offsetY) = *command.offset;
}

// Writes the PPD for lpadmin to upload; the file lives as long as the object.
std::unique_ptr<QTemporaryFile> writePpd(const QByteArray& ppd)
{
    auto file = std::make_unique<QTemporaryFile>();
    if (!file->open() || file->write(ppd) != ppd.size() || !file->flush())
        return nullptr;
    return file;
}

QString describeStationery(const QStringList& files, const QueueSettings& s)
{
    return QStringLiteral("%1 (stationery %2)").arg(files.isEmpty() ? QStringLiteral("none") : files.join(QStringLiteral(", ")),
                                                    s.stationeryOver ? QStringLiteral("over the content") : QStringLiteral("behind the content"));
}

int add(const OfficeCommand& c, QTextStream& out, QTextStream& err)
{
    if (needsRoot(err, QStringLiteral("add")))
        return ExitFailure;
    const auto real = queueNamed(c.on);
    if (!real)
        return failed(err, QStringLiteral("no printer named %1 (lpstat -p lists them)").arg(c.on));
    if (queueNamed(c.name))
        return failed(err, QStringLiteral("a printer named %1 exists already: change it with \"update\", or remove it first").arg(c.name));
    const ValueResult<QByteArray> ppd = queuePpd(real->name);
    if (!ppd)
        return failed(err, ppd.error);
    if (const auto stacked = letterhead::readQueuePpd(*ppd.value); stacked.settings)
        return failed(err, QStringLiteral("%1 is itself a letterhead printer; add on its real printer %2 instead").arg(real->name, stacked.settings->realPrinter));
    if (hasOwnPdfPreFilter(*ppd.value))
        return failed(err, QStringLiteral("the driver of %1 has a PDF pre-filter of its own; no letterhead step can be added to it").arg(real->name));

    const auto invoker = invokingUser();
    if (!invoker)
        return failed(err, QStringLiteral("the user running this command is unknown to the system"));
    const StationeryResult stationery = readStationery(c, *invoker);
    if (!stationery.stationery)
        return failed(err, stationery.error);
    const auto folders = PrinterFolders::open(printersRoot());
    if (!folders)
        return failed(err, folders.error);
    PrinterFolders& f = **folders.value;
    const ValueResult<QString> staged = f.stage(c.name, *stationery.stationery);
    if (!staged)
        return failed(err, staged.error);

    QueueSettings settings;
    settings.folder = f.folderOf(c.name);
    settings.realPrinter = real->name;
    applyLayout(c, *stationery.stationery, settings);
    const auto ppdFile = writePpd(letterhead::withoutPpdBlock(*ppd.value) + letterhead::ppdBlock(settings, filterProgram()));
    if (!ppdFile) {
        f.remove(*staged.value);
        return failed(err, QStringLiteral("the printer's driver description could not be written"));
    }
    if (const Result installed = f.install(*staged.value, c.name); !installed) {
        f.remove(*staged.value);
        return failed(err, installed.error);
    }
    const QString description = c.description.value_or(
        QStringLiteral("%1 (Letterhead)").arg(real->description.isEmpty() ? real->name : real->description));
    // Made stopped and rejecting: it takes jobs only once its policy is set.
    const Result created = runAdmin(QStringLiteral("lpadmin"),
        {QStringLiteral("-p"), c.name, QStringLiteral("-v"), real->deviceUri, QStringLiteral("-P"), ppdFile->fileName(),
         QStringLiteral("-D"), description, QStringLiteral("-L"), QStringLiteral("Prints on %1 with letterhead").arg(real->name),
         QStringLiteral("-o"), QStringLiteral("printer-is-shared=%1").arg(c.shared ? u"true" : u"false")});
    if (!created) {
        if (queueNamed(c.name))
            runAdmin(QStringLiteral("lpadmin"), {QStringLiteral("-x"), c.name});
        f.remove(c.name);
        return failed(err, QStringLiteral("the printer %1 could not be added: %2").arg(c.name, created.error));
    }
    if (const Result policy = applyAuthenticatedPolicy(c.name); !policy)
        return failed(err, policy.error);
    for (const QString& program : {QStringLiteral("cupsenable"), QStringLiteral("cupsaccept")})
        if (const Result r = runAdmin(program, {c.name}); !r)
            return failed(err, r.error);
    out << "Added " << c.name << " on " << real->name << ": " << describeStationery(f.filesOf(c.name), settings)
        << (c.shared ? ", shared on the network" : "") << Qt::endl;
    return ExitOk;
}

// The queue's PPD and settings, when it is a letterhead queue.
struct Ours {
    QByteArray ppd;
    QueueSettings settings;
};
std::optional<Ours> ours(const QString& name, QString* why)
{
    const ValueResult<QByteArray> ppd = queuePpd(name);
    if (!ppd) {
        *why = ppd.error;
        return std::nullopt;
    }
    const auto read = letterhead::readQueuePpd(*ppd.value);
    if (!read.settings) {
        *why = QStringLiteral("%1 is no letterhead printer (%2)").arg(name, read.error);
        return std::nullopt;
    }
    return Ours{*ppd.value, *read.settings};
}

int update(const OfficeCommand& c, QTextStream& out, QTextStream& err)
{
    if (needsRoot(err, QStringLiteral("update")))
        return ExitFailure;
    const auto queue = queueNamed(c.name);
    if (!queue)
        return failed(err, QStringLiteral("no printer named %1").arg(c.name));
    QString why;
    const auto current = ours(queue->name, &why);
    if (!current)
        return failed(err, why);
    const auto invoker = invokingUser();
    if (!invoker)
        return failed(err, QStringLiteral("the user running this command is unknown to the system"));
    const StationeryResult stationery = readStationery(c, *invoker);
    if (!stationery.stationery)
        return failed(err, stationery.error);
    const auto folders = PrinterFolders::open(printersRoot());
    if (!folders)
        return failed(err, folders.error);
    PrinterFolders& f = **folders.value;

    QueueSettings settings = current->settings;
    settings.folder = f.folderOf(queue->name);
    applyLayout(c, *stationery.stationery, settings);
    const auto ppdFile = writePpd(letterhead::withoutPpdBlock(current->ppd) + letterhead::ppdBlock(settings, filterProgram()));
    if (!ppdFile)
        return failed(err, QStringLiteral("the printer's driver description could not be written"));
    if (c.namesStationery()) {
        const ValueResult<QString> staged = f.stage(queue->name, *stationery.stationery);
        if (!staged)
            return failed(err, staged.error);
        if (const Result installed = f.install(*staged.value, queue->name); !installed) {
            f.remove(*staged.value);
            return failed(err, installed.error);
        }
    }
    if (const Result changed = runAdmin(QStringLiteral("lpadmin"), {QStringLiteral("-p"), queue->name, QStringLiteral("-P"), ppdFile->fileName()});
        !changed)
        return failed(err, QStringLiteral("the layout of %1 could not be changed: %2").arg(queue->name, changed.error));
    out << "Updated " << queue->name << ": " << describeStationery(f.filesOf(queue->name), settings) << Qt::endl;
    return ExitOk;
}

int remove(const OfficeCommand& c, QTextStream& out, QTextStream& err)
{
    if (needsRoot(err, QStringLiteral("remove")))
        return ExitFailure;
    const auto folders = PrinterFolders::open(printersRoot());
    if (!folders)
        return failed(err, folders.error);
    PrinterFolders& f = **folders.value;
    const auto queue = queueNamed(c.name);
    if (!queue && !f.exists(c.name))
        return failed(err, QStringLiteral("no letterhead printer named %1").arg(c.name));
    if (queue) {
        QString why;
        if (!ours(queue->name, &why))
            return failed(err, why + QStringLiteral("; quillary-printer removes only its own printers"));
        if (const Result removed = runAdmin(QStringLiteral("lpadmin"), {QStringLiteral("-x"), queue->name}); !removed)
            return failed(err, removed.error);
    }
    if (const Result removed = f.remove(queue ? queue->name : c.name); !removed)
        return failed(err, removed.error);
    out << "Removed " << (queue ? queue->name : c.name) << Qt::endl;
    return ExitOk;
}

int list(QTextStream& out, QTextStream& err)
{
    int shown = 0;
    for (const QueueInfo& queue : queues()) {
        QString why;
        const auto found = ours(queue.name, &why);
        if (!found)
            continue;
        const QueueSettings& s = found->settings;
        // Read where the queue's PPD says, as anyone may (list needs no root).
        QStringList files;
        for (const auto& [file, word] : {std::pair{letterhead::kStartFile, "start"}, std::pair{letterhead::kContinuationFile, "continuation"},
                                         std::pair{letterhead::kTermsFile, "terms"}})
            if (QFileInfo(s.folder + QLatin1Char('/') + QLatin1String(file)).isFile())
                files << QString::fromLatin1(word);
        out << queue.name << "\ton " << s.realPrinter << "\t" << describeStationery(files, s)
            << "\tletterhead " << (s.letterhead ? "on" : "off") << ", terms page " << (s.terms ? "on" : "off")
            << (queue.shared ? "\tshared" : "\tlocal") << (queue.accepting ? "" : "\trejecting jobs") << '\n';
        ++shown;
    }
    out.flush();
    if (shown == 0)
        err << "quillary-printer: no letterhead printers" << Qt::endl;
    return ExitOk;
}

} // namespace

QString filterProgram()
{
    const QString configured = qEnvironmentVariable("QUILLARY_LETTERHEAD_FILTER");
    return configured.startsWith(u'/') ? configured : QStringLiteral("quillary-letterhead");
}

int runCommand(const OfficeCommand& command, QTextStream& out, QTextStream& err)
{
    switch (command.action) {
    case Action::Add:
        return add(command, out, err);
    case Action::Update:
        return update(command, out, err);
    case Action::Remove:
        return remove(command, out, err);
    case Action::List:
        return list(out, err);
    case Action::Help:
        out << usageText();
        return ExitOk;
    }
    return ExitUsage;
}

int runOfficePrinter(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const CommandResult parsed = parseCommand(arguments);
    if (!parsed.command) {
        err << "quillary-printer: " << parsed.error << '\n' << usageText();
        err.flush();
        return ExitUsage;
    }
    return runCommand(*parsed.command, out, err);
}

} // namespace quillary::office
