#pragma once

// SIGINT and SIGTERM ask a run of quillary-stamp to stop instead of ending
// the process at once: the run then finishes or abandons the write in hand
// (the engine leaves no temporary file and no half-written output) and ends
// on its own. A second signal ends the process as usual.

#include <atomic>

namespace quillary::cli {

class StopSignals {
public:
    StopSignals();  // installs the handlers and clears the flag
    ~StopSignals(); // puts the previous handlers back
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Set once a signal arrived; hand it to MergeControl::stop.
    const std::atomic<bool>& flag() const;
    bool requested() const { return flag().load(std::memory_order_relaxed); }
};

} // namespace quillary::cli
