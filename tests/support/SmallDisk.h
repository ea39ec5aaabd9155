#pragma once

// A place where writes run out of room on purpose, for tests of what a full
// disk does to a file that is being replaced. As root (CI) it is a small tmpfs,
// mounted in a mount namespace of the test process's own so that nothing
// outside sees it and it goes when the process ends; the disk is then filled
// to leave a given number of bytes. Elsewhere the process's file-size limit
// (RLIMIT_FSIZE) stands in: every file then stops at that size. Either way a
// write past the limit fails with an error the writer must report.

#include <QDir>
#include <QFile>
#include <QString>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace testdisk {

class SmallDisk {
public:
    // Makes the folder and, where it may, mounts a tmpfs of capacity bytes on it.
    explicit SmallDisk(const QString& folder, qint64 capacity = 8 * 1024 * 1024)
        : root(folder)
    {
        QDir().mkpath(root);
        std::signal(SIGXFSZ, SIG_IGN); // a failed write, not a dead process
        if (::geteuid() != 0)
            return;
        static const bool privateMounts = [] {
            return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        }();
        (void)privateMounts; // without it the mount is visible, and still removed at the end
        const QByteArray options = "size=" + QByteArray::number(capacity) + ",mode=0755";
        mounted = ::mount("tmpfs", QFile::encodeName(root).constData(), "tmpfs", 0, options.constData()) == 0;
    }

    ~SmallDisk()
    {
        lift();
        if (mounted)
            ::umount2(QFile::encodeName(root).constData(), MNT_DETACH);
    }

    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool isTmpfs() const { return mounted; }
    const QString& folder() const { return root; }

    // From now on about `bytes` more fit: on the tmpfs in all, otherwise per file.
    bool limit(qint64 bytes)
    {
        lift();
        if (mounted) {
            struct statvfs info {};
            if (::statvfs(QFile::encodeName(root).constData(), &info) != 0)
                return false;
            const qint64 available = qint64(info.f_bavail) * qint64(info.f_frsize);
            const qint64 fill = (available - bytes) / 4096 * 4096;
            const int fd = ::open(QFile::encodeName(fillerPath()).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd < 0)
                return false;
            const bool ok = fill <= 0 || ::posix_fallocate(fd, 0, fill) == 0;
            ::close(fd);
            return ok;
        }
        if (::getrlimit(RLIMIT_FSIZE, &saved) != 0)
            return false;
        const rlimit small{rlim_t(bytes), saved.rlim_max};
        limited = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
        return limited;
    }

    void lift()
    {
        if (mounted)
            QFile::remove(fillerPath());
        if (limited)
            ::setrlimit(RLIMIT_FSIZE, &saved);
        limited = false;
    }

    // What a write past the limit reports.
    int expectedErrno() const { return mounted ? ENOSPC : EFBIG; }
    QString reason() const { return QString::fromLocal8Bit(std::strerror(expectedErrno())); }

private:
    QString fillerPath() const { return root + QStringLiteral("/filler"); }

    QString root;
    bool mounted = false;
    bool limited = false;
    rlimit saved{};
};

} // namespace testdisk
