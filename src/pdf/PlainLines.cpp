#include "pdf/PlainLines.h"

#include <cstdio>
#include <mutex>
#include <optional>

namespace quillary {

namespace {

std::mutex sinkMutex;
// Unset: standard output.
std::optional<PlainLineSink> currentSink;

} // namespace

void printPlainLine(const QString& line)
{
    std::lock_guard lock(sinkMutex);
    if (currentSink) {
        if (*currentSink)
            (*currentSink)(line);
        return;
    }
    const QByteArray bytes = line.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

ScopedPlainLineSink::ScopedPlainLineSink(PlainLineSink sink)
{
    std::lock_guard lock(sinkMutex);
    previousSet = currentSink.has_value();
    if (previousSet)
        previous = std::move(*currentSink);
    currentSink = std::move(sink);
}

ScopedPlainLineSink::~ScopedPlainLineSink()
{
    std::lock_guard lock(sinkMutex);
    if (previousSet)
        currentSink = std::move(previous);
    else
        currentSink.reset();
}

} // namespace quillary
