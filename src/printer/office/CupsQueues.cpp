#include "printer/office/CupsQueues.h"

#include "printer/letterhead/QueueSettings.h"

#include <QFile>
#include <QProcess>

#include <cups/cups.h>
#include <cups/ppd.h>

#include <unistd.h>

namespace quillary::office {

namespace {

QueueInfo infoOf(const cups_dest_t& dest)
{
    QueueInfo q;
    q.name = QString::fromUtf8(dest.name);
    const auto option = [&](const char* name) {
        return QString::fromUtf8(cupsGetOption(name, dest.num_options, dest.options));
    };
    q.deviceUri = option("device-uri");
    q.description = option("printer-info");
    q.shared = option("printer-is-shared") == u"true";
    q.accepting = option("printer-is-accepting-jobs") != u"false";
    return q;
}

} // namespace

QList<QueueInfo> queues()
{
    cups_dest_t* dests = nullptr;
    const int n = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    QList<QueueInfo> list;
    for (int i = 0; i < n; ++i)
        if (!dests[i].instance)
            list << infoOf(dests[i]);
    cupsFreeDests(n, dests);
    return list;
}

std::optional<QueueInfo> queueNamed(const QString& name)
{
    for (const QueueInfo& q : queues())
        if (q.name.compare(name, Qt::CaseInsensitive) == 0)
            return q;
    return std::nullopt;
}

ValueResult<QByteArray> queuePpd(const QString& name)
{
    // The scheduler's copy of the queue's PPD: the one interface CUPS has for
    // it, marked as going away with PPDs themselves.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const char* file = cupsGetPPD2(CUPS_HTTP_DEFAULT, name.toUtf8().constData());
#pragma GCC diagnostic pop
    if (!file)
        return Result::failure(ErrorCode::NotFound, QStringLiteral("the printer %1 has no driver description (PPD): %2")
                                                        .arg(name, QString::fromUtf8(cupsLastErrorString())));
    QFile ppd(QFile::decodeName(file));
    QByteArray bytes;
    const bool read = ppd.open(QIODevice::ReadOnly) && ppd.size() <= letterhead::kMaxPpdSize && !(bytes = ppd.readAll()).isEmpty();
    ::unlink(file);
    if (!read)
        return Result::failure(ErrorCode::Unreadable, QStringLiteral("the driver description (PPD) of %1 could not be read").arg(name));
    return ValueResult<QByteArray>::of(bytes);
}

Result runAdmin(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return Result::failure(ErrorCode::NotFound, QStringLiteral("%1 could not be run: %2").arg(program, process.errorString()));
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished(1000);
        return Result::failure(ErrorCode::Cancelled, QStringLiteral("%1 did not finish in two minutes").arg(program));
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return Result::failure(ErrorCode::Refused, QStringLiteral("%1: %2").arg(program,
            QString::fromLocal8Bit(process.readAll()).trimmed().replace(u'\n', u' ').left(400)));
    return Result::success();
}

Result applyAuthenticatedPolicy(const QString& queue)
{
    const Result policy = runAdmin(QStringLiteral("lpadmin"), {QStringLiteral("-p"), queue, QStringLiteral("-o"),
                                                               QStringLiteral("printer-op-policy=authenticated")});
    if (policy)
        return policy;
    const QString reason = QStringLiteral("The print server has no \"authenticated\" policy, so this printer could not be "
                                          "limited to known users; it accepts no jobs until it has one.");
    runAdmin(QStringLiteral("cupsreject"), {QStringLiteral("-r"), reason, queue});
    return Result::failure(ErrorCode::Refused, QStringLiteral("%1 rejects jobs: the scheduler has no \"authenticated\" policy (%2)")
                                                   .arg(queue, policy.error));
}

} // namespace quillary::office
