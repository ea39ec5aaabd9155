#pragma once

// quillary-stamp run as a program with a home (and so a template store) of
// its own in a temporary folder, and a template store written as the
// application leaves it: s/tempf00.pdf (start), s/temp00.pdf (continuation),
// s/tempb00.pdf (terms), the templates of store.plist.

#include "pdf/PdfChecks.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>

#include <cstdio>
#include <optional>
#include <tuple>

#include <grp.h>
#include <unistd.h>

namespace clitest {

struct Ran {
    int exitCode = -1; // -1: did not end normally
    QString out, err;
};

struct Tool {
    QString folder; // working folder and HOME, the XDG folders inside it
    // Run as this user (uid, gid, further groups) instead of the test's own;
    // only root can.
    std::optional<std::tuple<uid_t, gid_t, gid_t>> as = std::nullopt;

    // Started and left running; the caller waits for it.
    std::unique_ptr<QProcess> start(const QStringList& arguments, const QString& program = QUILLARY_STAMP_BINARY) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", folder);
        env.insert("XDG_DATA_HOME", folder + "/data");
        env.insert("XDG_CONFIG_HOME", folder + "/config");
        auto process = std::make_unique<QProcess>();
        if (as) {
            const auto [uid, gid, group] = *as;
            process->setChildProcessModifier([uid, gid, group] {
                const gid_t groups[] = {gid, group};
                if (::setgroups(2, groups) != 0 || ::setresgid(gid, gid, gid) != 0 || ::setresuid(uid, uid, uid) != 0)
                    ::_exit(125);
            });
        }
        process->setProcessEnvironment(env);
        process->setWorkingDirectory(folder);
        process->start(program, arguments);
        process->waitForStarted();
        return process;
    }
    Ran run(const QStringList& arguments, const QByteArray& input = {}, const QString& program = QUILLARY_STAMP_BINARY) const
    {
        const auto process = start(arguments, program);
        process->write(input);
        process->closeWriteChannel();
        return finish(*process);
    }
    static Ran finish(QProcess& process)
    {
        Ran ran;
        if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit)
            ran.exitCode = process.exitCode();
        ran.out = QString::fromUtf8(process.readAllStandardOutput());
        ran.err = QString::fromUtf8(process.readAllStandardError());
        return ran;
    }
};

inline QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// Every file, folder and link under root with what it holds, to see that a
// refused run changed nothing: no output, no store file, no scratch file.
inline QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        entries[info.filePath().mid(root.size())] = info.isSymLink() ? "-> " + info.symLinkTarget().toUtf8()
            : info.isDir()                                           ? QByteArray("folder")
                                                                     : contents(info.filePath());
    }
    return entries;
}

inline bool writeStationery(const QString& path, QColor colour = Qt::red)
{
    testpdfs::TestPage page;
    page.rects.append({QRectF(50, 50, 300, 300), colour});
    return testpdfs::writePdf(path, {page});
}

// The template store of store.plist in folder s. secondStart: a start page
// s/tempf01.pdf in that colour, which "Behind" uses instead; the settings
// file is then replaced whole, as the application replaces it (for a process
// that watches it).
inline bool writeStore(const QString& s, std::optional<QColor> secondStart = std::nullopt)
{
    QFile plist(QFINDTESTDATA("store.plist"));
    if (!plist.open(QIODevice::ReadOnly)
        || (secondStart ? !writeStationery(s + "/tempf01.pdf", *secondStart)
                        : !QDir().mkpath(s) || !writeStationery(s + "/tempf00.pdf") || !writeStationery(s + "/temp00.pdf")
                              || !writeStationery(s + "/tempb00.pdf")))
        return false;
    const QString xml = QString::fromUtf8(plist.readAll())
                            .replace("@SECOND_START@", secondStart ? "<string>@S@/tempf01.pdf</string>" : "")
                            .replace("@BEHIND_START@", secondStart ? "1" : "0")
                            .replace("@S@", s);
    return testpdfs::writeBytes(s + "/settings.plist.new", xml.toUtf8())
        && std::rename(QFile::encodeName(s + "/settings.plist.new").constData(),
                       QFile::encodeName(s + "/settings.plist").constData()) == 0;
}

} // namespace clitest
