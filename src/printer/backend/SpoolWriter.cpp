#include "printer/backend/SpoolWriter.h"

#include "printer/backend/JobName.h"
#include "printer/SpoolLayout.h"

#include <cups/backend.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillary::printer {

namespace {

Outcome fail(int status, std::string why) { return {status, std::move(why)}; }

std::string reason(int error) { return std::strerror(error); }

// A PDF's header may follow up to 1024 bytes of other data.
constexpr std::size_t kHeaderWindow = 1024;

bool hasPdfHeader(const std::vector<char>& head)
{
    constexpr std::string_view marker = "%PDF-";
    return std::string_view(head.data(), head.size()).find(marker) != std::string_view::npos;
}

// Reads up to `size` bytes; 0 at the end; -1 on an error or when stopped.
ssize_t readSome(int fd, char* buffer, std::size_t size, const volatile std::sig_atomic_t* stop)
{
    for (;;) {
        if (stop && *stop) {
            errno = ECANCELED;
            return -1;
        }
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

Fd::~Fd()
{
    if (fd_ >= 0)
        ::close(fd_);
}

Fd& Fd::operator=(Fd&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

Outcome openSpoolRoot(const std::string& root, Fd& fd)
{
    constexpr int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    fd = Fd(::open(root.c_str(), flags));
    if (!fd && errno == ENOENT) {
        if (::mkdir(root.c_str(), 0755) != 0 && errno != EEXIST)
            return fail(CUPS_BACKEND_STOP, "Cannot create the spool folder " + root + ": " + reason(errno));
        fd = Fd(::open(root.c_str(), flags));
        // Everyone must reach their own folder in it, whatever the umask
        // and the group cupsd runs backends with.
        if (fd && (::fchown(fd.get(), 0, 0) != 0 || ::fchmod(fd.get(), 0755) != 0))
            return fail(CUPS_BACKEND_STOP, "Cannot set up the spool folder " + root + ": " + reason(errno));
    }
    if (!fd) {
        if (errno == ELOOP || errno == ENOTDIR)
            return fail(CUPS_BACKEND_STOP, "The spool folder " + root + " is a symbolic link or not a folder");
        return fail(CUPS_BACKEND_STOP, "Cannot open the spool folder " + root + ": " + reason(errno));
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return fail(CUPS_BACKEND_STOP, "Cannot read the spool folder " + root + ": " + reason(errno));
    if (info.st_uid != 0)
        return fail(CUPS_BACKEND_STOP, "The spool folder " + root + " is not owned by root");
    if (info.st_mode & (S_IWGRP | S_IWOTH))
        return fail(CUPS_BACKEND_STOP, "The spool folder " + root + " is writable by others than root");
    return Outcome::success();
}

Outcome createUserFolder(int rootFd, const std::string& root, const User& user)
{
    struct stat existing {};
    if (::fstatat(rootFd, user.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return Outcome::success(); // judged as the user, in openUserFolder
    // Made under a hidden name and renamed when it belongs to the user: the
    // agent, waiting for the folder, must never find it still root's.
    const std::string fresh = ".new-" + std::to_string(::getpid());
    const auto failed = [&](const char* what) {
        const int error = errno;
        ::unlinkat(rootFd, fresh.c_str(), AT_REMOVEDIR);
        return fail(CUPS_BACKEND_FAILED, std::string(what) + ' ' + root + '/' + user.name + ": " + reason(error));
    };
    ::unlinkat(rootFd, fresh.c_str(), AT_REMOVEDIR); // left by a backend that died
    if (::mkdirat(rootFd, fresh.c_str(), 0700) != 0)
        return failed("Cannot create");
    // Only root can add entries to the root, so what was just made is still
    // the folder; opened without following links all the same.
    Fd folder(::openat(rootFd, fresh.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder || ::fchown(folder.get(), user.uid, user.gid) != 0 || ::fchmod(folder.get(), 0700) != 0)
        return failed("Cannot hand to its user");
    if (::renameat2(rootFd, fresh.c_str(), rootFd, user.name.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno == EEXIST) { // made meanwhile by another job of the user
            ::unlinkat(rootFd, fresh.c_str(), AT_REMOVEDIR);
            return Outcome::success();
        }
        return failed("Cannot create");
    }
    return Outcome::success();
}

Outcome becomeUser(const User& user)
{
    if (::initgroups(user.name.c_str(), user.gid) != 0 || ::setgid(user.gid) != 0
        || ::setuid(user.uid) != 0)
        return fail(CUPS_BACKEND_FAILED, "Cannot become user " + user.name + ": " + reason(errno));
    if (::getuid() != user.uid || ::geteuid() != user.uid || ::getgid() != user.gid
        || ::getegid() != user.gid || ::setuid(0) == 0)
        return fail(CUPS_BACKEND_FAILED, "Could not give up root for user " + user.name);
    return Outcome::success();
}

Outcome openUserFolder(int rootFd, const std::string& path, uid_t uid, Fd& fd)
{
    // Stat the name first: a link must be reported as such, and opening a
    // link with O_NOFOLLOW | O_DIRECTORY may give ENOTDIR rather than ELOOP.
    struct stat entry {};
    const std::string name = path.substr(path.rfind('/') + 1);
    if (::fstatat(rootFd, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0)
        return fail(CUPS_BACKEND_FAILED, "Cannot find " + path + ": " + reason(errno));
    if (S_ISLNK(entry.st_mode))
        return fail(CUPS_BACKEND_CANCEL, path + " is a symbolic link; nothing is written through it");
    if (!S_ISDIR(entry.st_mode))
        return fail(CUPS_BACKEND_CANCEL, path + " is not a folder");

    fd = Fd(::openat(rootFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        if (errno == ELOOP || errno == ENOTDIR)
            return fail(CUPS_BACKEND_CANCEL, path + " is a symbolic link or not a folder");
        if (errno == EACCES)
            return fail(CUPS_BACKEND_CANCEL, path + " is not the user's own folder");
        return fail(CUPS_BACKEND_FAILED, "Cannot open " + path + ": " + reason(errno));
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return fail(CUPS_BACKEND_FAILED, "Cannot read " + path + ": " + reason(errno));
    if (info.st_uid != uid)
        return fail(CUPS_BACKEND_CANCEL, path + " is not owned by the job's user");
    if ((info.st_mode & 07777) != 0700 && ::fchmod(fd.get(), 0700) != 0)
        return fail(CUPS_BACKEND_FAILED, "Cannot make " + path + " private: " + reason(errno));
    return Outcome::success();
}

Outcome readDocumentStart(int input, std::vector<char>& head, const volatile std::sig_atomic_t* stop)
{
    head.assign(kHeaderWindow, 0);
    std::size_t filled = 0;
    while (filled < kHeaderWindow) {
        const ssize_t n = readSome(input, head.data() + filled, kHeaderWindow - filled, stop);
        if (n < 0)
            return errno == ECANCELED ? fail(CUPS_BACKEND_CANCEL, "The job was cancelled")
                                      : fail(CUPS_BACKEND_FAILED, "Cannot read the document: " + reason(errno));
        if (n == 0)
            break;
        filled += static_cast<std::size_t>(n);
    }
    head.resize(filled);
    if (head.empty())
        return fail(CUPS_BACKEND_CANCEL, "The document is empty");
    if (!hasPdfHeader(head))
        return fail(CUPS_BACKEND_CANCEL, "The document is not a PDF");
    return Outcome::success();
}

Outcome writeJob(int folderFd, int input, const std::vector<char>& head, const JobRequest& job,
                 const volatile std::sig_atomic_t* stop, std::string* written, const WriteBounds& bounds)
{
    const auto pause = [&](WriteStage stage) {
        if (bounds.pause)
            bounds.pause(stage);
    };
    // A job that is retried finds the hidden file of its first try.
    const std::string part = std::string(1, kHiddenPrefix) + job.jobId + ".part";
    if (::unlinkat(folderFd, part.c_str(), 0) != 0 && errno != ENOENT)
        return fail(CUPS_BACKEND_FAILED, "Cannot remove the unfinished " + part + ": " + reason(errno));
    Fd out(::openat(folderFd, part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out)
        return fail(CUPS_BACKEND_FAILED, "Cannot create " + part + ": " + reason(errno));
    struct stat made {};
    if (::fstat(out.get(), &made) != 0)
        return fail(CUPS_BACKEND_FAILED, "Cannot read " + part + ": " + reason(errno));
    // Whether `name` in the folder is still the file made here.
    const auto isOurs = [&](const std::string& name) {
        struct stat now {};
        return ::fstatat(folderFd, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(now.st_mode)
            && now.st_dev == made.st_dev && now.st_ino == made.st_ino;
    };
    const auto replaced = [&] {
        return fail(CUPS_BACKEND_CANCEL, "The unfinished " + part
                                             + " was replaced while it was written; nothing is written through it");
    };
    // Only what this writer made is removed: a replacement stays as it is.
    const auto discard = [&](Outcome outcome) {
        if (isOurs(part))
            ::unlinkat(folderFd, part.c_str(), 0);
        return outcome;
    };
    pause(WriteStage::Created);

    std::uint64_t total = head.size();
    if (total > bounds.maxBytes)
        return discard(fail(CUPS_BACKEND_CANCEL, bounds.tooLarge));
    if (!writeAll(out.get(), head.data(), head.size()))
        return discard(fail(CUPS_BACKEND_FAILED, "Cannot write " + part + ": " + reason(errno)));
    pause(WriteStage::Writing);
    std::vector<char> buffer(256 * 1024);
    for (;;) {
        const ssize_t n = readSome(input, buffer.data(), buffer.size(), stop);
        if (n < 0)
            return discard(errno == ECANCELED ? fail(CUPS_BACKEND_CANCEL, "The job was cancelled")
                                              : fail(CUPS_BACKEND_FAILED, "Cannot read the document: " + reason(errno)));
        if (n == 0)
            break;
        total += static_cast<std::uint64_t>(n);
        if (total > bounds.maxBytes)
            return discard(fail(CUPS_BACKEND_CANCEL, bounds.tooLarge));
        if (!writeAll(out.get(), buffer.data(), static_cast<std::size_t>(n)))
            return discard(fail(CUPS_BACKEND_FAILED, "Cannot write " + part + ": " + reason(errno)));
    }
    // Kept open until it is named: while it is, no other file can take its
    // inode number and pass for it.
    if (::fsync(out.get()) != 0)
        return discard(fail(CUPS_BACKEND_FAILED, "Cannot write " + part + ": " + reason(errno)));
    pause(WriteStage::Named);

    // Into place in one step, never over an existing file, and only the file
    // written here: checked before the rename, and what got the name after it.
    for (int attempt = 1; attempt <= 100; ++attempt) {
        if (!isOurs(part))
            return replaced();
        const std::string name = jobFileName(job.title, job.jobId, attempt);
        if (::renameat2(folderFd, part.c_str(), folderFd, name.c_str(), RENAME_NOREPLACE) == 0) {
            if (!isOurs(name)) { // swapped in between: the replacement does not stay a job
                ::renameat2(folderFd, name.c_str(), folderFd, part.c_str(), RENAME_NOREPLACE);
                return replaced();
            }
            ::fsync(folderFd);
            if (written)
                *written = name;
            return Outcome::success();
        }
        if (errno != EEXIST)
            return discard(fail(CUPS_BACKEND_FAILED, "Cannot name the job " + name + ": " + reason(errno)));
    }
    return discard(fail(CUPS_BACKEND_FAILED, "Every name for job " + job.jobId + " is taken"));
}

} // namespace quillary::printer
