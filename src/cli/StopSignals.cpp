#include "cli/StopSignals.h"

#include <csignal>

namespace quillary::cli {

namespace {

std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

using Handler = void (*)(int);
Handler previousInterrupt = SIG_DFL;
Handler previousTerminate = SIG_DFL;

extern "C" void requestStop(int signal)
{
    stopRequested.store(true, std::memory_order_relaxed);
    // The next one is not asked twice: it ends the process.
    std::signal(signal, SIG_DFL);
}

} // namespace

StopSignals::StopSignals()
{
    stopRequested = false;
    previousInterrupt = std::signal(SIGINT, requestStop);
    previousTerminate = std::signal(SIGTERM, requestStop);
}

StopSignals::~StopSignals()
{
    std::signal(SIGINT, previousInterrupt == SIG_ERR ? SIG_DFL : previousInterrupt);
    std::signal(SIGTERM, previousTerminate == SIG_ERR ? SIG_DFL : previousTerminate);
}

const std::atomic<bool>& StopSignals::flag() const
{
    return stopRequested;
}

} // namespace quillary::cli
