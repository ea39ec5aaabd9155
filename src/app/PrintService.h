#pragma once

#include "pdf/Result.h"

namespace quillary {

// Turns the print service on for this user.
//
// On macOS: copies the workflow the application carries into the user's PDF
// Services folder (printServiceLocation), creating the folder first.
//
// Elsewhere the package installs the agent's autostart entry for every user
// (/etc/xdg/autostart), and the user's own entry of that name takes its
// place: a user entry that turns Quillary off ("Delete printer") is removed,
// so that the system's entry is in force again; without a system entry the
// entry the application carries is copied into the user's autostart folder.
// Then, when no agent runs, one is started ("quillary --agent", through the
// Ui seam), so that printing works in this session already.
//
// The copy rules hold everywhere: an entry already in force is never
// replaced, and saying so prints "cant copy File " + the entry's source; an
// unreadable source prints "No Readable File". Nothing is shown to the user.
void installPrintService();

// Turns the print service off for this user. On macOS the installed workflow
// is removed (an absent one is no error). Elsewhere the user's entry is
// written with Hidden=true, in one step: the agent sees it and ends once its
// open previews have closed, the session starts none any more, and the
// printer's backend ends this user's jobs with a reason. The queue stays
// for everyone else. A failure says why (the user's autostart folder cannot
// be written); nothing is changed then.
Result deletePrintService();

// Opening the management window: starts the agent (through the Ui seam) when
// the print service is on for this user and no agent runs. Nothing on macOS.
void startPrintAgentIfEnabled();

} // namespace quillary
