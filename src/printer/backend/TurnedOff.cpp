#include "printer/backend/TurnedOff.h"

#include "printer/AutostartEntry.h"

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillary::printer {

namespace {

// As the user: links the user made in their own home are followed, as any
// program of theirs would; only a regular file of bounded size is read.
bool entryTurnsOff(const std::string& home)
{
    if (home.empty() || home.front() != '/')
        return false;
    Fd folder(::open(home.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (const char* step : {".config", "autostart"}) {
        if (!folder)
            return false;
        folder = Fd(::openat(folder.get(), step, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    if (!folder)
        return false;
    const std::string name(kAutostartEntryName);
    // Non-blocking: a pipe of that name must not hold the job up.
    Fd entry(::openat(folder.get(), name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    if (!entry || ::fstat(entry.get(), &info) != 0 || !S_ISREG(info.st_mode)
        || static_cast<std::size_t>(info.st_size) > kAutostartEntryMaxBytes)
        return false;
    std::string text(kAutostartEntryMaxBytes, '\0');
    std::size_t filled = 0;
    while (filled < text.size()) {
        const ssize_t got = ::read(entry.get(), text.data() + filled, text.size() - filled);
        if (got <= 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    text.resize(filled);
    return autostartEntryTurnsOff(text);
}

} // namespace

bool userTurnedQuillaryOff(const User& user, const std::string& home)
{
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        // 0: off, 1: on or unknown, 2: could not become the user.
        if (!becomeUser(user).ok())
            ::_exit(2);
        ::_exit(entryTurnsOff(home) ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string turnedOffReason()
{
    std::string_view language;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            language = value;
            break;
        }
    }
    if (language.substr(0, 2) == "de" && (language.size() == 2 || language[2] == '_' || language[2] == '.' || language[2] == '-'))
        return "Quillary ist für diesen Benutzer ausgeschaltet: Öffnen Sie Quillary und speichern Sie eine Vorlage, "
               "um es einzuschalten";
    return "Quillary is turned off for this user: open Quillary and save a template to turn it on";
}

} // namespace quillary::printer
