#pragma once

// How much the spool may hold, and for how long: one job's size, each user's
// number of waiting jobs and their bytes, and the age after which a job no
// agent opened is removed. An administrator sets them in one file,
// /etc/quillary/spool.conf (lines "name = value", "#" starts a comment):
//
//   max-job-size  = 1G     one job; K, M, G, T are powers of 1024
//   user-max-jobs = 500    waiting jobs in one user's folder
//   user-max-size = 4G     bytes of those jobs together
//   max-job-age   = 30     days; older jobs are removed
//
// A missing file gives these defaults; a line that cannot be read keeps the
// default of its setting and is reported, so a typing error never lifts a
// limit.

#include "printer/backend/SpoolWriter.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#ifndef QUILLARY_SPOOL_LIMITS_FILE
#define QUILLARY_SPOOL_LIMITS_FILE "/etc/quillary/spool.conf"
#endif

namespace quillary::printer {

inline constexpr const char* kSpoolLimitsFile = QUILLARY_SPOOL_LIMITS_FILE;

struct SpoolLimits {
    std::uint64_t maxJobBytes = std::uint64_t(1) << 30;
    std::uint64_t userMaxJobs = 500;
    std::uint64_t userMaxBytes = std::uint64_t(4) << 30;
    int maxJobAgeDays = 30;
    std::string source = kSpoolLimitsFile; // named in refusals
};

// The limits a file's text sets; each line that cannot be used adds a
// one-line warning naming its line number.
SpoolLimits parseSpoolLimits(std::string_view text, std::vector<std::string>* warnings);

// The limits of the file at path (the defaults when there is none). A file
// that is not a regular file, is larger than 64 KiB or cannot be read gives
// the defaults and a warning.
SpoolLimits readSpoolLimits(const char* path, std::vector<std::string>* warnings);

// "1 GiB", "500 MiB", "1234 bytes": a size as the log says it.
std::string sizeText(std::uint64_t bytes);

// What a user's folder holds of the backend's files: complete jobs and
// unfinished ones.
struct FolderUsage {
    std::uint64_t jobs = 0;
    std::uint64_t bytes = 0;
};

// Removes from a folder the job files and unfinished files (never other
// files, links or folders) last changed more than maxAgeDays before now,
// calling removed with each name, and returns what is left of them. Looks
// at no more than maxEntries entries.
FolderUsage sweepFolder(int folderFd, int maxAgeDays, std::time_t now, const std::function<void(const std::string&)>& removed,
                        std::size_t maxEntries = 100000);

// The same for every user folder of the spool root (as root: it only
// removes names, and opens no link); removed gets "<user>/<name>".
void sweepSpool(int rootFd, int maxAgeDays, std::time_t now, const std::function<void(const std::string&)>& removed);

// Whether one more job fits the user's folder: refused (CUPS_BACKEND_CANCEL)
// when the folder holds userMaxJobs jobs or userMaxBytes bytes already, or
// when knownSize (0: not known before it is read) is larger than what is
// left. Else *room is the most the job may have, and *tooLarge the refusal
// for a job that turns out larger.
Outcome checkRoom(const FolderUsage& usage, const SpoolLimits& limits, std::uint64_t knownSize, std::uint64_t* room,
                  std::string* tooLarge);

} // namespace quillary::printer
