#pragma once

// "quillary --agent": the per-user agent that opens printed jobs, started
// with the desktop session by the print-service entry. It shows no window of
// its own and runs without a display connection.

#include <QString>

namespace quillary {

// Runs the agent until the print-service entry is removed and its last
// preview has closed. A second agent of the same user ends at once.
int runPrintAgent(int argc, char* argv[]);

// Where the agent's lock lives: one agent per user.
QString printAgentLockPath();

// True while an agent of this user runs (holds the lock).
bool printAgentRunning();

} // namespace quillary
