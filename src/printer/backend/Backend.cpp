#include "printer/backend/Backend.h"

#include "printer/backend/JobRequest.h"
#include "printer/backend/QueueSharing.h"
#include "printer/backend/SpoolLimits.h"
#include "printer/backend/SpoolWriter.h"
#include "printer/backend/TurnedOff.h"

#include <cups/backend.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillary::printer {

namespace {

volatile std::sig_atomic_t cancelled = 0;

void onTerminate(int) { cancelled = 1; }

// cupsd sends SIGTERM when the job is cancelled: the copy stops and removes
// its unfinished file. No SA_RESTART, so a waiting read returns at once.
void catchCancel()
{
    struct sigaction action {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    // A file-size limit (cupsd's RLimitFileSize) fails the write, which
    // removes the unfinished file, instead of killing the backend.
    std::signal(SIGXFSZ, SIG_IGN);
}

void line(const char* prefix, const std::string& text)
{
    std::fprintf(stderr, "%s: %s\n", prefix, text.c_str());
    std::fflush(stderr);
}

// "refused" when the job itself is not acceptable or the queue needs an
// administrator; "failed" for what may pass (a full disk): cupsd retries.
int refuse(const std::string& jobId, const Outcome& outcome)
{
    const char* what = outcome.status == CUPS_BACKEND_FAILED ? " failed: " : " refused: ";
    line("ERROR", "Quillary job " + jobId + what + outcome.error);
    return outcome.status;
}

// Accounts of people: not root, not a system account (below UID_MIN), not
// the overflow account "nobody". A job of a daemon has no desktop to go to.
bool isPersonAccount(const passwd& account)
{
    std::ifstream loginDefs("/etc/login.defs");
    const uid_t first = firstPersonUid(loginDefs);
    return account.pw_uid != 0 && account.pw_uid >= first && account.pw_uid != 65534
        && std::strcmp(account.pw_name, "nobody") != 0;
}

bool isFolderName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

} // namespace

int runBackend(int argc, const char* const* argv)
{
    if (argc == 1) {
        std::printf("%s\n", kDeviceLine);
        return CUPS_BACKEND_OK;
    }
    std::string reason;
    const std::optional<JobRequest> job = parseJobRequest(argc, argv, &reason);
    if (!job) {
        line("ERROR", "quillary: " + reason);
        return CUPS_BACKEND_FAILED;
    }
    catchCancel();
    ::umask(077);

    if (::geteuid() != 0)
        return refuse(job->jobId, {CUPS_BACKEND_STOP, "the backend does not run as root (install it owned by "
                                                      "root with mode 0700)"});
    const char* uri = std::getenv("DEVICE_URI");
    const std::optional<std::string> root = spoolRootFromUri(uri ? uri : "");
    if (!root)
        return refuse(job->jobId, {CUPS_BACKEND_STOP, std::string("the device URI \"") + (uri ? uri : "")
                                                          + "\" names no absolute spool folder"});

    const passwd* account = ::getpwnam(job->user.c_str());
    if (!account)
        return refuse(job->jobId, {CUPS_BACKEND_CANCEL, "\"" + job->user + "\" is not a local user"});
    const User user{account->pw_name, account->pw_uid, account->pw_gid};
    const std::string home = account->pw_dir ? account->pw_dir : "";
    if (!isPersonAccount(*account) || !isFolderName(user.name))
        return refuse(job->jobId, {CUPS_BACKEND_CANCEL, "\"" + user.name + "\" is root or a system account"});

    const std::optional<std::string> host = optionValue(job->options, "job-originating-host-name");
    if (!host || !isLocalHost(*host)) {
        const char* printer = std::getenv("PRINTER");
        if (!queueIsShared(printer))
            return refuse(job->jobId, {CUPS_BACKEND_CANCEL, "it comes from the host \"" + host.value_or("(unknown)")
                                                                + "\" and the queue \"" + (printer ? printer : "")
                                                                + "\" is not shared"});
    }

    // Turned off by the user ("Delete printer"): the job ends here with the
    // reason as its message, before anything is made for it; the queue
    // stays enabled for everyone else.
    if (userTurnedQuillaryOff(user, home)) {
        line("ERROR", turnedOffReason());
        return CUPS_BACKEND_CANCEL;
    }

    // As root: the spooled document (readable by root and lp only), checked
    // before anything is made for the job; the spool root; the user's
    // folder on the first job.
    Fd input(job->file ? ::open(job->file->c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC) : ::dup(STDIN_FILENO));
    if (!input)
        return refuse(job->jobId, {CUPS_BACKEND_FAILED, "cannot open the document: " + std::string(std::strerror(errno))});
    std::vector<char> head;
    if (Outcome o = readDocumentStart(input.get(), head, &cancelled); !o.ok())
        return refuse(job->jobId, o);
    // The limits. QUILLARY_SPOOL_LIMITS names another file for tests: cupsd
    // gives backends only the variables its own configuration names.
    const char* limitsFile = std::getenv("QUILLARY_SPOOL_LIMITS");
    std::vector<std::string> warnings;
    const SpoolLimits limits = readSpoolLimits(limitsFile && *limitsFile ? limitsFile : kSpoolLimitsFile, &warnings);
    for (const std::string& warning : warnings)
        line("WARNING", "Quillary spool limits " + limits.source + ", " + warning);
    Fd rootFd;
    if (Outcome o = openSpoolRoot(*root, rootFd); !o.ok())
        return refuse(job->jobId, o);
    const std::time_t now = std::time(nullptr);
    sweepSpool(rootFd.get(), limits.maxJobAgeDays, now, [&](const std::string& name) {
        line("NOTICE", "Quillary removed " + *root + '/' + name + ": it waited more than "
                           + std::to_string(limits.maxJobAgeDays) + " days");
    });
    if (Outcome o = createUserFolder(rootFd.get(), *root, user); !o.ok())
        return refuse(job->jobId, o);

    // From here on as the user.
    if (Outcome o = becomeUser(user); !o.ok())
        return refuse(job->jobId, o);
    const std::string folderPath = *root + '/' + user.name;
    Fd folder;
    if (Outcome o = openUserFolder(rootFd.get(), folderPath, user.uid, folder); !o.ok())
        return refuse(job->jobId, o);
    const FolderUsage usage = sweepFolder(folder.get(), limits.maxJobAgeDays, now, nullptr);
    struct stat document {};
    const std::uint64_t knownSize = ::fstat(input.get(), &document) == 0 && S_ISREG(document.st_mode)
        ? static_cast<std::uint64_t>(document.st_size) : 0;
    WriteBounds bounds;
    if (Outcome o = checkRoom(usage, limits, knownSize, &bounds.maxBytes, &bounds.tooLarge); !o.ok())
        return refuse(job->jobId, o);
    std::string name;
    if (Outcome o = writeJob(folder.get(), input.get(), head, *job, &cancelled, &name, bounds); !o.ok())
        return refuse(job->jobId, o);
    line("DEBUG", "Quillary job " + job->jobId + " written to " + folderPath + '/' + name);
    line("INFO", "Handed to the Quillary preview");
    return CUPS_BACKEND_OK;
}

} // namespace quillary::printer
