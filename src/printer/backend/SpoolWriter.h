#pragma once

// The backend's file work, in the order it runs. Everything goes through
// descriptors opened with O_NOFOLLOW, relative to the spool root's
// descriptor, so that no link planted anywhere below the root is followed
// and no path is looked up twice.
//
// Only the first two steps run as root, and only because they must: opening
// the root (created when missing) and creating the user's folder on the
// user's first job. The rest runs as the user.

#include "printer/backend/JobRequest.h"

#include <csignal>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <sys/types.h>

namespace quillary::printer {

// The local account a job belongs to.
struct User {
    std::string name;
    uid_t uid = 0;
    gid_t gid = 0;
};

// A CUPS backend status (CUPS_BACKEND_OK, _FAILED, _STOP, _CANCEL) and, when
// it is not OK, the one-line reason for the error log.
struct Outcome {
    int status = 0;
    std::string error;
    bool ok() const { return status == 0; }
    static Outcome success() { return {}; }
};

// A descriptor closed when it goes out of scope.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd();
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { int fd = fd_; fd_ = -1; return fd; }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// As root. Opens the spool root, creating it (0755, owned by root) when it
// does not exist. A root that is a link, not a folder, not owned by root, or
// writable by anyone but root is refused with CUPS_BACKEND_STOP: every job
// would fail the same way until an administrator repairs it.
Outcome openSpoolRoot(const std::string& root, Fd& fd);

// As root. Creates the user's folder in the root (0700, owned by the user and
// the user's group) when nothing of that name is there; an existing entry is
// left for openUserFolder to judge.
Outcome createUserFolder(int rootFd, const std::string& root, const User& user);

// Becomes the user for good: the user's groups, group and user id. Fails
// unless afterwards no way back to root is left.
Outcome becomeUser(const User& user);

// As the user. Opens the user's folder without following a link and refuses
// (CUPS_BACKEND_CANCEL) a link, a non-folder, or a folder owned by someone
// else; a folder others could read is closed to them again (0700).
Outcome openUserFolder(int rootFd, const std::string& path, uid_t uid, Fd& fd);

// Reads the start of the document (its first 1024 bytes, or all of a
// shorter one) into head and refuses (CUPS_BACKEND_CANCEL) an empty document
// or one without a PDF header there: the filters make a PDF of whatever was
// printed, but a job sent raw ("lp -o raw") bypasses them. Checked before
// anything is created for the job.
Outcome readDocumentStart(int input, std::vector<char>& head, const volatile std::sig_atomic_t* stop);

// Where the writer is: after creating its hidden file, after the first
// write to it, and after its last, just before it gets its job name.
enum class WriteStage { Created, Writing, Named };

// What the writer takes at most, and the refusal when a document has more.
// `pause` (tests only) is called at each stage: there a test changes the
// folder under the writer at the worst moment.
struct WriteBounds {
    std::uint64_t maxBytes = std::numeric_limits<std::uint64_t>::max();
    std::string tooLarge;
    std::function<void(WriteStage)> pause;
};

// As the user. Writes head and the rest of the document from input into a
// new hidden file of the folder (O_CREAT | O_EXCL | O_NOFOLLOW, 0600), syncs
// it and renames it to its job name without replacing anything. On any
// failure the hidden file is removed. `stop` set (by SIGTERM: the job was
// cancelled) ends the copy. `written` gets the job file's name.
//
// A document larger than bounds.maxBytes is refused (CUPS_BACKEND_CANCEL)
// once it passes the bound. The hidden file replaced while it is written
// (by a link, or another file) is refused and left alone: only the file the
// writer made and filled ever gets the job's name.
Outcome writeJob(int folderFd, int input, const std::vector<char>& head, const JobRequest& job,
                 const volatile std::sig_atomic_t* stop, std::string* written, const WriteBounds& bounds = {});

} // namespace quillary::printer
