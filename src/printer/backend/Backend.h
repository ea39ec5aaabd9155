#pragma once

// The CUPS backend "quillary": hands each job of the "Quillary" queue to the
// submitting user's agent as one PDF file in the user's spool folder.
//
// Installed as <CUPS backend folder>/quillary, owned by root, mode 0700, so
// that cupsd starts it as root: root is needed to create a user's folder in
// the root-owned spool root. It gives up root for the job's user as soon as
// that is done.
//
// Refused, with "ERROR: ..." lines that cupsd writes to its error log:
// jobs of users who are not local people's accounts (unknown, root, system
// accounts), jobs from other hosts unless the queue is shared, and jobs
// whose user folder is a link or belongs to someone else.

namespace quillary::printer {

// The whole run: argc/argv as cupsd passes them, the device URI and the
// queue's name from the environment (DEVICE_URI, PRINTER). Without
// arguments prints the device line for lpinfo. Returns the CUPS backend
// status to exit with.
int runBackend(int argc, const char* const* argv);

} // namespace quillary::printer
