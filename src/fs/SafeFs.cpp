#include "fs/SafeFs.h"

#include <cstdio>
#include <cstring>
#include <random>

#include <dirent.h>
#include <unistd.h>

namespace quillary::fs {

namespace {

constexpr int kMostLinks = 40; // as the kernel's own limit for one lookup

std::string reason(int error)
{
    return std::strerror(error);
}

std::string shownName(std::string_view shown, const std::string& name)
{
    return shown.empty() ? name : std::string(shown);
}

std::string joined(const std::string& folder, const std::string& name)
{
    if (folder.empty() || folder == ".")
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + '/' + name;
}

// O_DIRECTORY|O_NOFOLLOW on a link fails with ELOOP or ENOTDIR, depending on
// the kernel: look at what is there.
bool isLinkAt(int at, const std::string& path)
{
    struct stat info {};
    return ::fstatat(at, path.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode);
}

} // namespace

void Fd::reset(int fd)
{
    if (value >= 0)
        ::close(value);
    value = fd;
}

void splitPath(const std::string& path, std::string* folder, std::string* name)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const auto slash = trimmed.rfind('/');
    if (slash == std::string::npos) {
        *folder = ".";
        *name = trimmed;
    } else {
        *folder = slash == 0 ? "/" : trimmed.substr(0, slash);
        *name = trimmed.substr(slash + 1);
    }
}

Status openFolder(int at, const std::string& path, Fd* folder)
{
    const int fd = ::openat(at, path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP || (error == ENOTDIR && isLinkAt(at, path)))
            return Status::fail(ELOOP, path + ": is a link, not a folder");
        if (error == ENOTDIR)
            return Status::fail(error, path + ": is not a folder");
        return Status::fail(error, path + ": " + reason(error));
    }
    folder->reset(fd);
    return Status::ok();
}

Status openNamedFolder(const std::string& path, Fd* folder)
{
    const int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return Status::fail(error, path + ": " + (error == ENOTDIR ? std::string("is not a folder") : reason(error)));
    }
    folder->reset(fd);
    return Status::ok();
}

Status listFolder(int folder, std::vector<std::string>* names)
{
    // The listing gets a descriptor of its own: closedir() closes it.
    const int own = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0)
        return Status::fail(errno, reason(errno));
    DIR* dir = ::fdopendir(own);
    if (!dir) {
        const int error = errno;
        ::close(own);
        return Status::fail(error, reason(error));
    }
    names->clear();
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names->push_back(name);
        errno = 0;
    }
    const int error = errno;
    ::closedir(dir);
    return error ? Status::fail(error, reason(error)) : Status::ok();
}

Status writeFileAt(int folder, const std::string& name, std::string_view bytes, mode_t mode, bool durable)
{
    Fd file;
    std::string scratch;
    if (Status created = createUnique(folder, "." + name + ".", mode, &file, &scratch); !created)
        return Status::fail(created.error, name + ": " + created.message);
    std::size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(file.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += std::size_t(n);
    }
    if (!error && durable && ::fsync(file.get()) != 0 && errno != EINVAL && errno != EROFS)
        error = errno;
    if (!error && ::close(file.release()) != 0 && errno != EINTR)
        error = errno;
    if (!error) {
        if (Status renamed = renameAt(folder, scratch, folder, name, false); !renamed)
            error = renamed.error;
    }
    if (error) {
        file.reset();
        ::unlinkat(folder, scratch.c_str(), 0);
        return Status::fail(error, name + ": " + reason(error));
    }
    return Status::ok();
}

Status openRegularForReading(int folder, const std::string& name, Fd* file, std::string_view shown)
{
    const std::string who = shownName(shown, name);
    const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP)
            return Status::fail(error, who + ": is a link; links are not followed here");
        return Status::fail(error, who + ": " + reason(error));
    }
    Fd opened(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return Status::fail(errno, who + ": " + reason(errno));
    if (!S_ISREG(info.st_mode))
        return Status::fail(S_ISDIR(info.st_mode) ? EISDIR : EINVAL, who + ": is not a regular file");
    // Reads block as usual from here on.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    *file = std::move(opened);
    return Status::ok();
}

bool statEntry(int folder, const std::string& name, struct stat* info, int* error)
{
    if (::fstatat(folder, name.c_str(), info, AT_SYMLINK_NOFOLLOW) == 0)
        return true;
    if (error)
        *error = errno;
    return false;
}

bool writableByOthers(const struct stat& info)
{
    return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

bool ownedAndPrivateToWriting(const struct stat& folder, uid_t uid)
{
    return folder.st_uid == uid && !writableByOthers(folder);
}

bool mayFollowLink(const struct stat& link, const struct stat& folder, uid_t user)
{
    if (link.st_uid == user)
        return true;
    // Nobody else could have put the link there.
    return (folder.st_uid == user || folder.st_uid == 0) && !writableByOthers(folder);
}

Status followOutputLinks(const std::string& path, Fd* folder, std::string* name, std::string* resolved)
{
    if (path.empty())
        return Status::fail(EINVAL, "no file name given");
    const uid_t user = ::geteuid();
    std::string current = path; // the path as followed so far
    std::string step = path;    // what is looked up next, relative to base
    Fd base;                    // the folder a relative link lives in; none at first
    for (int hops = 0;; ++hops) {
        std::string folderPart, last;
        splitPath(step, &folderPart, &last);
        if (last.empty() || last == "." || last == ".." || step.back() == '/')
            return Status::fail(EISDIR, current + ": is a folder");
        const int at = base.valid() ? base.get() : AT_FDCWD;
        const int fd = ::openat(at, folderPart.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            const int error = errno;
            std::string currentFolder, ignored;
            splitPath(current, &currentFolder, &ignored);
            if (error == ENOENT || error == ENOTDIR)
                return Status::fail(error, current + ": the folder " + currentFolder + " does not exist");
            return Status::fail(error, current + ": cannot open the folder " + currentFolder + ": " + reason(error));
        }
        Fd here(fd);
        struct stat folderInfo {}, info {};
        if (::fstat(here.get(), &folderInfo) != 0)
            return Status::fail(errno, current + ": " + reason(errno));
        int error = 0;
        if (!statEntry(here.get(), last, &info, &error)) {
            if (error != ENOENT)
                return Status::fail(error, current + ": " + reason(error));
        } else if (S_ISLNK(info.st_mode)) {
            if (!mayFollowLink(info, folderInfo, user))
                return Status::refuse(EACCES, current
                                                + ": is a link that belongs to another user in a folder others can "
                                                  "write to; nothing is written through it");
            if (hops >= kMostLinks)
                return Status::fail(ELOOP, path + ": " + reason(ELOOP));
            std::string target(std::size_t(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
            const ssize_t n = ::readlinkat(here.get(), last.c_str(), target.data(), target.size());
            if (n < 0 || std::size_t(n) >= target.size())
                return Status::fail(n < 0 ? errno : ENAMETOOLONG, current + ": cannot read the link");
            target.resize(std::size_t(n));
            if (target.empty())
                return Status::fail(ENOENT, current + ": the link is empty");
            std::string currentFolder, ignored;
            splitPath(current, &currentFolder, &ignored);
            current = target.front() == '/' ? target : joined(currentFolder, target);
            step = target;
            base = std::move(here);
            continue;
        } else if (S_ISDIR(info.st_mode)) {
            return Status::fail(EISDIR, current + ": is a folder");
        } else if (!S_ISREG(info.st_mode)) {
            return Status::fail(EINVAL, current + ": is not a regular file");
        }
        *folder = std::move(here);
        *name = last;
        *resolved = current;
        return Status::ok();
    }
}

Status createUnique(int folder, const std::string& prefix, mode_t mode, Fd* file, std::string* name)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = prefix;
        for (int i = 0; i < 8; ++i)
            candidate += letters[random() % (sizeof letters - 1)];
        const int fd = ::openat(folder, candidate.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, mode);
        if (fd >= 0) {
            file->reset(fd);
            *name = candidate;
            return Status::ok();
        }
        if (errno != EEXIST)
            return Status::fail(errno, reason(errno));
    }
    return Status::fail(EEXIST, "no free name for a temporary file");
}

Status createScratch(int folder, Fd* file)
{
    const int fd = ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
        file->reset(fd);
        return Status::ok();
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return Status::fail(errno, reason(errno));
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = ".scratch-";
        for (int i = 0; i < 8; ++i)
            candidate += letters[random() % (sizeof letters - 1)];
        const int named = ::openat(folder, candidate.c_str(),
                                   O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
        if (named >= 0) {
            file->reset(named);
            if (::unlinkat(folder, candidate.c_str(), 0) != 0) {
                const int error = errno;
                file->reset();
                return Status::fail(error, reason(error));
            }
            return Status::ok();
        }
        if (errno != EEXIST)
            return Status::fail(errno, reason(errno));
    }
    return Status::fail(EEXIST, "no free name for a temporary file");
}

Status renameAt(int fromFolder, const std::string& from, int toFolder, const std::string& to, bool noReplace)
{
    if (!noReplace) {
        if (::renameat(fromFolder, from.c_str(), toFolder, to.c_str()) == 0)
            return Status::ok();
        return Status::fail(errno, reason(errno));
    }
    if (::renameat2(fromFolder, from.c_str(), toFolder, to.c_str(), RENAME_NOREPLACE) == 0)
        return Status::ok();
    if (errno != EINVAL && errno != ENOSYS)
        return Status::fail(errno, reason(errno));
    // A file system without the flag: a hard link never replaces either.
    if (::linkat(fromFolder, from.c_str(), toFolder, to.c_str(), 0) != 0)
        return Status::fail(errno, reason(errno));
    if (::unlinkat(fromFolder, from.c_str(), 0) != 0) {
        const int error = errno;
        ::unlinkat(toFolder, to.c_str(), 0);
        return Status::fail(error, reason(error));
    }
    return Status::ok();
}

Status removeAt(int folder, const std::string& name)
{
    if (::unlinkat(folder, name.c_str(), 0) == 0)
        return Status::ok();
    return Status::fail(errno, name + ": " + reason(errno));
}

Status makeOwnFolder(int folder, const std::string& name, mode_t mode, uid_t uid, Fd* opened, std::string_view shown)
{
    const std::string who = shownName(shown, name);
    if (::mkdirat(folder, name.c_str(), mode) != 0 && errno != EEXIST)
        return Status::fail(errno, who + ": cannot create the folder: " + reason(errno));
    const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP || (error == ENOTDIR && isLinkAt(folder, name)))
            return Status::refuse(ELOOP, who + ": is a link, not a folder of its own; refused");
        if (error == ENOTDIR)
            return Status::fail(error, who + ": is not a folder");
        return Status::fail(error, who + ": " + reason(error));
    }
    Fd held(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return Status::fail(errno, who + ": " + reason(errno));
    if (info.st_uid != uid)
        return Status::refuse(EPERM, who + ": belongs to another user; refused");
    *opened = std::move(held);
    return Status::ok();
}

Status checkStillOwnFolder(int parent, const std::string& name, int opened, uid_t uid, std::string_view shown)
{
    const std::string who = shownName(shown, name);
    struct stat now {}, held {};
    int error = 0;
    if (!statEntry(parent, name, &now, &error))
        return Status::fail(error, who + ": " + reason(error));
    if (S_ISLNK(now.st_mode))
        return Status::refuse(ELOOP, who + ": has been replaced by a link; refused");
    if (::fstat(opened, &held) != 0)
        return Status::fail(errno, who + ": " + reason(errno));
    if (!S_ISDIR(now.st_mode) || now.st_dev != held.st_dev || now.st_ino != held.st_ino)
        return Status::refuse(EXDEV, who + ": has been replaced; refused");
    if (held.st_uid != uid)
        return Status::refuse(EPERM, who + ": belongs to another user; refused");
    return Status::ok();
}

} // namespace quillary::fs
