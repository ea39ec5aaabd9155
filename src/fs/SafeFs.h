#pragma once

// File operations that hold on hostile ground: a folder other people can
// write to. A folder is opened once and everything else is done relative to
// its descriptor, so a name swapped for a link between a check and a use
// changes nothing. Only regular files are opened; the last component of a
// name is never followed when it is a link, except where the kernel's own
// rule for shared folders would follow it (see followOutputLinks).
//
// Plain C++ and POSIX: the CUPS backend links this too.

#include <cerrno>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace quillary::fs {

// What went wrong, in a sentence that names the file, with the errno.
struct Status {
    int error = 0;       // 0: fine
    std::string message; // empty when fine
    bool refused = false; // a protection said no (a link, a foreign folder), not the system
    explicit operator bool() const { return error == 0; }
    static Status ok() { return {}; }
    static Status fail(int error, std::string message) { return {error ? error : EIO, std::move(message)}; }
    static Status refuse(int error, std::string message) { return {error, std::move(message), true}; }
};

// An open file descriptor, closed with its owner.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : value(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : value(other.release()) {}
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other) {
            reset();
            value = other.release();
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return value; }
    bool valid() const { return value >= 0; }
    int release()
    {
        const int v = value;
        value = -1;
        return v;
    }
    void reset(int fd = -1);

private:
    int value = -1;
};

// Opens the folder at path (relative to at, or to the working folder when at
// is AT_FDCWD) with O_DIRECTORY|O_NOFOLLOW: a link in the last component is
// refused. Earlier components are the caller's own path and are followed.
Status openFolder(int at, const std::string& path, Fd* folder);
inline Status openFolder(const std::string& path, Fd* folder) { return openFolder(AT_FDCWD, path, folder); }

// Opens the folder a person named (on a command line): a link there is their
// own choice and is followed; the folder is held from then on.
Status openNamedFolder(const std::string& path, Fd* folder);

// The names in an open folder, without "." and "..".
Status listFolder(int folder, std::vector<std::string>* names);

// Writes bytes to name in folder: a temporary file beside it, synced, then
// renamed over name (a link at name is replaced, never written through).
// Not durable: not synced, for a file that needs to outlive the process but
// not the machine.
Status writeFileAt(int folder, const std::string& name, std::string_view bytes, mode_t mode, bool durable = true);

// Opens name in folder for reading: a regular file only, never through a
// link (O_NOFOLLOW), without blocking on a pipe or a device.
Status openRegularForReading(int folder, const std::string& name, Fd* file, std::string_view shown = {});

// What name in folder is, without following a link. False (with *error)
// when there is nothing by that name or it cannot be looked at.
bool statEntry(int folder, const std::string& name, struct stat* info, int* error = nullptr);

// Whether the folder (an open descriptor) is owned by uid and nobody else may
// write to it.
bool ownedAndPrivateToWriting(const struct stat& folder, uid_t uid);
// Whether others than the owner may write to it (group or everybody). A
// group write bit counts even when the group holds only the owner: the
// group's members can change without the owner's knowing.
bool writableByOthers(const struct stat& info);

// The kernel's rule for following a link in a shared folder: a link is
// followed when it belongs to the user following it, or when its folder is
// writable by nobody but that user (or by root alone).
bool mayFollowLink(const struct stat& link, const struct stat& folder, uid_t user);

// Where a write to path lands. The final component is looked at relative to
// its folder's descriptor; a link there is followed only where mayFollowLink
// allows it (each hop again), otherwise the write is refused with a message
// naming the link. On success *folder holds the folder the file is to be
// written in and *name its name there; *resolved the path as followed.
Status followOutputLinks(const std::string& path, Fd* folder, std::string* name, std::string* resolved);

// Creates a new, empty file with a unique name beginning with prefix in
// folder (O_CREAT|O_EXCL|O_NOFOLLOW) and the given mode.
Status createUnique(int folder, const std::string& prefix, mode_t mode, Fd* file, std::string* name);

// Creates a private file without a name in folder, open for reading and
// writing: nobody else can open it, and it is gone when closed, however the
// process ends. Where the file system cannot make one (O_TMPFILE), a unique
// name is created and removed at once.
Status createScratch(int folder, Fd* file);

// Renames from (in fromFolder) to to (in toFolder). With noReplace an
// existing to is never replaced: EEXIST is reported instead.
Status renameAt(int fromFolder, const std::string& from, int toFolder, const std::string& to, bool noReplace);

// Removes name from folder when it is not a folder.
Status removeAt(int folder, const std::string& name);

// Creates the subfolder name in folder (mode as given, private when unsure)
// unless it exists, then opens it: a link or something else there is
// refused, as is a folder belonging to another user than uid.
Status makeOwnFolder(int folder, const std::string& name, mode_t mode, uid_t uid, Fd* opened,
                     std::string_view shown = {});
// Whether the open folder still is the folder name in parent (same device and
// inode) and is still uid's own: a folder swapped for a link or another folder
// after it was opened fails.
Status checkStillOwnFolder(int parent, const std::string& name, int opened, uid_t uid, std::string_view shown = {});

// Splits a path into its folder ("." when none) and last component.
void splitPath(const std::string& path, std::string* folder, std::string* name);

} // namespace quillary::fs
