#pragma once

namespace quillary {

// Copies the print-service entry the application carries to where the
// platform looks for it (printServiceLocation), creating the folder first.
// An entry already there is never replaced: the copy then fails with the
// store's line "cant copy File " + the entry's source. An unreadable source
// prints "No Readable File". Nothing is shown to the user.
// Elsewhere than on macOS the entry starts the print agent with each session;
// when it is installed (now or before) and no agent runs, one is started
// ("quillary --agent", through the Ui seam).
void installPrintService();

// Removes the installed entry, if it is there and readable; no message. A
// running agent sees it go and ends once its open previews have closed.
void deletePrintService();

} // namespace quillary
