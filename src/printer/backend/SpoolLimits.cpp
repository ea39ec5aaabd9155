#include "printer/backend/SpoolLimits.h"

#include "printer/SpoolLayout.h"

#include <cups/backend.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <limits>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillary::printer {

namespace {

constexpr std::size_t kMaxFileBytes = 64 * 1024;

std::string_view trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

// A whole number, optionally followed by K, M, G or T (powers of 1024);
// nothing else, no overflow, not zero.
bool parseAmount(std::string_view text, bool withUnit, std::uint64_t& value)
{
    int shift = 0;
    if (withUnit && !text.empty()) {
        switch (std::toupper(static_cast<unsigned char>(text.back()))) {
        case 'K': shift = 10; break;
        case 'M': shift = 20; break;
        case 'G': shift = 30; break;
        case 'T': shift = 40; break;
        default: break;
        }
        if (shift)
            text.remove_suffix(1);
    }
    text = trim(text);
    std::uint64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || number == 0)
        return false;
    if (number > (std::numeric_limits<std::uint64_t>::max() >> shift))
        return false;
    value = number << shift;
    return true;
}

// Job files and the unfinished files of jobs: what the backend makes.
bool isSpoolFile(std::string_view name)
{
    if (name.size() > kJobSuffix.size() && name.front() != kHiddenPrefix && name.ends_with(kJobSuffix))
        return true;
    return name.size() > 6 && name.front() == kHiddenPrefix && name.ends_with(".part");
}

} // namespace

SpoolLimits parseSpoolLimits(std::string_view text, std::vector<std::string>* warnings)
{
    SpoolLimits limits;
    const auto warn = [&](int number, const std::string& what) {
        if (warnings)
            warnings->push_back("line " + std::to_string(number) + ": " + what);
    };
    int number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (const std::size_t hash = line.find('#'); hash != std::string_view::npos)
            line = line.substr(0, hash);
        line = trim(line);
        if (line.empty())
            continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            warn(number, "not \"name = value\"; ignored");
            continue;
        }
        const std::string name(trim(line.substr(0, equals)));
        const std::string_view value = trim(line.substr(equals + 1));
        std::uint64_t amount = 0;
        const auto bad = [&](const char* expected) {
            warn(number, name + " = " + std::string(value.substr(0, 40)) + " is not " + expected + "; the default stays");
        };
        if (name == "max-job-size" || name == "user-max-size") {
            if (!parseAmount(value, true, amount))
                bad("a size such as 512M or 1G");
            else
                (name == "max-job-size" ? limits.maxJobBytes : limits.userMaxBytes) = amount;
        } else if (name == "user-max-jobs") {
            if (!parseAmount(value, false, amount))
                bad("a whole number above 0");
            else
                limits.userMaxJobs = amount;
        } else if (name == "max-job-age") {
            if (!parseAmount(value, false, amount) || amount > 36500)
                bad("a number of days from 1 to 36500");
            else
                limits.maxJobAgeDays = static_cast<int>(amount);
        } else {
            warn(number, "unknown setting \"" + name.substr(0, 40) + "\"; ignored");
        }
    }
    return limits;
}

SpoolLimits readSpoolLimits(const char* path, std::vector<std::string>* warnings)
{
    SpoolLimits defaults;
    defaults.source = path;
    const int fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT && warnings)
            warnings->push_back(std::string("cannot read it (") + std::strerror(errno) + "); the defaults apply");
        return defaults;
    }
    struct stat info {};
    std::string text;
    const char* problem = nullptr;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        problem = "it is not a regular file";
    else if (info.st_size > static_cast<off_t>(kMaxFileBytes))
        problem = "it is larger than 64 KiB";
    else {
        text.resize(static_cast<std::size_t>(info.st_size));
        std::size_t filled = 0;
        while (filled < text.size()) {
            const ssize_t n = ::read(fd, text.data() + filled, text.size() - filled);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            filled += static_cast<std::size_t>(n);
        }
        text.resize(filled);
    }
    ::close(fd);
    if (problem) {
        if (warnings)
            warnings->push_back(std::string(problem) + "; the defaults apply");
        return defaults;
    }
    SpoolLimits limits = parseSpoolLimits(text, warnings);
    limits.source = path;
    return limits;
}

std::string sizeText(std::uint64_t bytes)
{
    static const char* const units[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
    int unit = 0;
    while (unit < 4 && bytes >= 1024 && bytes % 1024 == 0) {
        bytes /= 1024;
        ++unit;
    }
    return std::to_string(bytes) + ' ' + units[unit];
}

FolderUsage sweepFolder(int folderFd, int maxAgeDays, std::time_t now, const std::function<void(const std::string&)>& removed,
                        std::size_t maxEntries)
{
    FolderUsage usage;
    const int listFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        return usage;
    }
    const std::time_t oldest = now - static_cast<std::time_t>(maxAgeDays) * 24 * 60 * 60;
    std::size_t looked = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (++looked > maxEntries)
            break;
        if (!isSpoolFile(entry->d_name))
            continue;
        struct stat info {};
        if (::fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
            continue;
        if (info.st_mtime < oldest) {
            const std::string name = entry->d_name;
            if (::unlinkat(folderFd, name.c_str(), 0) == 0) {
                if (removed)
                    removed(name);
                continue;
            }
        }
        ++usage.jobs;
        usage.bytes += static_cast<std::uint64_t>(info.st_size);
    }
    ::closedir(dir);
    return usage;
}

void sweepSpool(int rootFd, int maxAgeDays, std::time_t now, const std::function<void(const std::string&)>& removed)
{
    const int listFd = ::openat(rootFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.' || (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN))
            continue;
        const std::string user = entry->d_name;
        // A link or a file under a user's name is passed by, not followed.
        const int folder = ::openat(rootFd, user.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folder < 0)
            continue;
        sweepFolder(folder, maxAgeDays, now, [&](const std::string& name) {
            if (removed)
                removed(user + '/' + name);
        });
        ::close(folder);
    }
    ::closedir(dir);
}

Outcome checkRoom(const FolderUsage& usage, const SpoolLimits& limits, std::uint64_t knownSize, std::uint64_t* room,
                  std::string* tooLarge)
{
    const auto setting = [&](const char* name) { return std::string(" (") + name + " in " + limits.source + ")"; };
    if (usage.jobs >= limits.userMaxJobs)
        return {CUPS_BACKEND_CANCEL, "The user's spool folder already holds " + std::to_string(usage.jobs)
                                         + " waiting jobs, the most it may" + setting("user-max-jobs")};
    if (usage.bytes >= limits.userMaxBytes)
        return {CUPS_BACKEND_CANCEL, "The user's waiting jobs already have " + sizeText(usage.bytes) + ", the most they may have together is "
                                         + sizeText(limits.userMaxBytes) + setting("user-max-size")};
    const std::uint64_t left = limits.userMaxBytes - usage.bytes;
    const bool byJob = limits.maxJobBytes <= left;
    const std::string refusal = byJob
        ? "The job is larger than " + sizeText(limits.maxJobBytes) + ", the most one job may have" + setting("max-job-size")
        : "The job does not fit: the user's waiting jobs may have " + sizeText(limits.userMaxBytes) + " together and have "
            + sizeText(usage.bytes) + setting("user-max-size");
    const std::uint64_t most = byJob ? limits.maxJobBytes : left;
    if (knownSize > most)
        return {CUPS_BACKEND_CANCEL, refusal};
    if (room)
        *room = most;
    if (tooLarge)
        *tooLarge = refusal;
    return Outcome::success();
}

} // namespace quillary::printer
