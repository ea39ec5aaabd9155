#pragma once

// What the printing tests share: programs run with their output collected,
// throwaway local users, file-system snapshots, and a private cupsd with its
// own configuration, spool, socket and the backend under test; nothing of the
// machine's own print system is used or changed. They need root (the backend
// changes users; cupsd runs backends as root), so each test skips without it.

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cups/cups.h>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace printertest {

inline constexpr int kDeadline = 120000; // generous: CI machines are slow and shared

struct Run {
    int exitCode = -1;
    QString out, err;
};

inline Run run(const QString& program, const QStringList& arguments,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
               const QByteArray& input = {})
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory("/"); // the test's own may be closed to the users it runs as
    process.start(program, arguments);
    Run result;
    if (!process.waitForStarted(kDeadline)) {
        result.err = process.errorString();
        return result;
    }
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(kDeadline);
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// Local users made for the test and removed afterwards (users that were
// there before are kept).
class LocalUsers {
public:
    ~LocalUsers()
    {
        for (const QString& name : std::as_const(created))
            run("userdel", {name});
    }
    bool ensure(const QString& name)
    {
        if (::getpwnam(name.toUtf8().constData()))
            return true;
        // Not a system account, no home: a plain person's account.
        if (run("useradd", {"-M", "-s", "/usr/sbin/nologin", name}).exitCode != 0)
            return false;
        created << name;
        return ::getpwnam(name.toUtf8().constData()) != nullptr;
    }
    static uid_t uid(const QString& name)
    {
        const passwd* p = ::getpwnam(name.toUtf8().constData());
        return p ? p->pw_uid : uid_t(-1);
    }
    static gid_t gid(const QString& name)
    {
        const passwd* p = ::getpwnam(name.toUtf8().constData());
        return p ? p->pw_gid : gid_t(-1);
    }

private:
    QStringList created;
};

inline bool chown(const QString& path, const QString& user)
{
    return ::lchown(QFile::encodeName(path).constData(), LocalUsers::uid(user), LocalUsers::gid(user)) == 0;
}

struct Owner {
    uid_t uid = uid_t(-1);
    mode_t mode = 0;
};
inline Owner ownerOf(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {info.st_uid, mode_t(info.st_mode & 07777)};
}

// Every entry under root (links not followed) with its size, to see that a
// refused job wrote nothing anywhere.
inline QStringList snapshot(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        entries << info.filePath().mid(root.size())
                + (info.isSymLink() ? " -> " + info.symLinkTarget() : info.isDir() ? "/" : " " + QString::number(info.size()));
    }
    entries.sort();
    return entries;
}

// Files of a folder, without "." and "..", hidden ones included.
inline QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Why the printing tests cannot run here, or empty when they can.
inline QString missingForPrinting(bool needsCupsd)
{
    if (::geteuid() != 0)
        return "the printing tests need root: the backend changes users and cupsd runs it as root";
    if (needsCupsd && !QFileInfo::exists("/usr/sbin/cupsd"))
        return "cupsd is not installed (scripts/deps.sh installs cups-daemon)";
    return {};
}

// A cupsd of the test's own (scripts/private-cupsd): configuration, spool,
// logs and socket in a temporary folder, the backend under test as its only
// backend, the system's filters.
class PrivateCups {
public:
    explicit PrivateCups(const QString& backend) : backendBinary(backend) {}
    ~PrivateCups()
    {
        if (daemon.state() != QProcess::NotRunning) {
            daemon.terminate();
            if (!daemon.waitForFinished(kDeadline))
                daemon.kill();
        }
    }

    // Empty when the server runs and answers.
    QString start()
    {
        if (!dir.isValid())
            return "no temporary folder";
        daemon.setProcessChannelMode(QProcess::MergedChannels);
        daemon.start(QUILLARY_SOURCE_DIR "/scripts/private-cupsd", {dir.path(), backendBinary});
        if (!daemon.waitForStarted(kDeadline))
            return "cannot start scripts/private-cupsd: " + daemon.errorString();
        const bool up = QTest::qWaitFor(
            [&] { return daemon.state() != QProcess::Running || client("lpstat", {"-r"}).out.contains("is running"); },
            kDeadline);
        if (!up || daemon.state() != QProcess::Running)
            return "cupsd does not answer: " + QString::fromUtf8(daemon.readAll()) + errorLog();
        return {};
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    QString socket() const { return path("cups.sock"); }
    QString errorLog() const
    {
        QFile log(path("log/error_log"));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CUPS_SERVER", socket());
        env.insert("LC_ALL", "C");
        return env;
    }
    // A client program run as root, or as a local user.
    Run client(const QString& program, const QStringList& arguments) const
    {
        return run(program, arguments, environment());
    }
    Run clientAs(const QString& user, const QString& program, const QStringList& arguments) const
    {
        return run("runuser", QStringList{"-u", user, "--", program} + arguments, environment());
    }
    // The id of a job lp submitted ("request id is Quillary-12 (1 file(s))"); 0 when none.
    static int jobId(const Run& lp)
    {
        static const QRegularExpression id(QStringLiteral("request id is \\S+-(\\d+) "));
        const auto match = id.match(lp.out);
        return match.hasMatch() ? match.captured(1).toInt() : 0;
    }
    // The job's state once it has ended (IPP_JSTATE_COMPLETED, _CANCELED,
    // _ABORTED); IPP_JSTATE_PENDING when it did not end in time.
    ipp_jstate_t finalState(int job) const
    {
        ipp_jstate_t state = IPP_JSTATE_PENDING;
        const bool ended = QTest::qWaitFor([&] { return (state = stateOf(job)) >= IPP_JSTATE_CANCELED; }, kDeadline);
        return ended ? state : IPP_JSTATE_PENDING;
    }

private:
    ipp_jstate_t stateOf(int job) const
    {
        http_t* http = httpConnect2(QFile::encodeName(socket()).constData(), 0, nullptr, AF_UNSPEC,
                                    HTTP_ENCRYPTION_IF_REQUESTED, 1, 30000, nullptr);
        if (!http)
            return IPP_JSTATE_PENDING;
        cups_job_t* jobs = nullptr;
        const int count = cupsGetJobs2(http, &jobs, "Quillary", 0, CUPS_WHICHJOBS_ALL);
        ipp_jstate_t state = IPP_JSTATE_PENDING;
        for (int i = 0; i < count; ++i) {
            if (jobs[i].id == job)
                state = jobs[i].state;
        }
        cupsFreeJobs(count, jobs);
        httpClose(http);
        return state;
    }

    QString backendBinary;
    QTemporaryDir dir;
    QProcess daemon;
};

} // namespace printertest
