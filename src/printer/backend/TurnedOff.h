#pragma once

// A user who chose "Delete printer" has turned Quillary off: their jobs are
// ended with a reason the print dialog and lpstat show, instead of waiting
// unseen in the spool, and the queue goes on serving everyone else.

#include "printer/backend/SpoolWriter.h"

#include <string>

namespace quillary::printer {

// Whether the user's own autostart entry (<home>/.config/autostart) turns
// Quillary off. Read in a child process that has become the user, so that
// nothing in the user's home is opened with root's rights. Unknown (no home,
// no entry, unreadable) counts as on: the job then waits for the user's agent.
bool userTurnedQuillaryOff(const User& user, const std::string& home);

// The reason in the job's language: the first of LC_ALL, LC_MESSAGES and
// LANG that is set (cupsd sets LANG from the language the printing program
// asked in); English unless there is a translation.
std::string turnedOffReason();

} // namespace quillary::printer
