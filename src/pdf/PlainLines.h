#pragma once

// Failures the user does not see are single plain lines on standard output
// ("File doesnt exists", "No Readable File", ...). Every such line of the core
// goes through here, so that a test can collect them and a command-line tool
// can keep them out of its own output. Safe to call from any thread.

#include <QString>

#include <functional>

namespace quillary {

// Writes one line (the line end is added).
void printPlainLine(const QString& line);

using PlainLineSink = std::function<void(const QString&)>;

// Sends the lines to sink until the object is destroyed; an empty sink drops
// them. Scopes nest: the previous sink comes back at the end.
class ScopedPlainLineSink {
public:
    explicit ScopedPlainLineSink(PlainLineSink sink);
    ~ScopedPlainLineSink();
    ScopedPlainLineSink(const ScopedPlainLineSink&) = delete;
    ScopedPlainLineSink& operator=(const ScopedPlainLineSink&) = delete;

private:
    PlainLineSink previous;
    bool previousSet;
};

} // namespace quillary
