#pragma once

// Whether cupsd shares a queue on the network ("printer-is-shared"), asked
// of the server the backend was started by (CUPS_SERVER).

namespace quillary::printer {

// True only when the server answers and says the queue is shared: a server
// that cannot be asked counts as not sharing it.
bool queueIsShared(const char* printer);

} // namespace quillary::printer
