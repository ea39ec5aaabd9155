#pragma once

// "quillary --agent": the per-user agent that opens printed jobs, started
// with the desktop session by the print-service entry. It shows no window of
// its own and runs without a display connection.

#include <QString>

namespace quillary {

// Runs the agent until the print-service entry is removed and its last
// preview has closed. A second agent of the same user ends at once.
int runPrintAgent(int argc, char* argv[]);

// Where the agent's lock lives: one agent per user. Only in a folder that
// is the user's alone and writable by nobody else: XDG_RUNTIME_DIR, else
// "quillary" in the user's cache folder. Empty when there is none, with the
// reason in problem: the agent then does not start.
QString printAgentLockPath(QString* problem = nullptr);

// Empty when folder is a folder (not a link) of the user's own that nobody
// else may write to; else why not.
QString privateFolderProblem(const QString& folder);

// True while an agent of this user runs (holds the lock).
bool printAgentRunning();

} // namespace quillary
