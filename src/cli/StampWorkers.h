#pragma once

// Worker threads that stamp documents for a run of quillary-stamp (a batch,
// a watched folder). The thread that owns the workers hands them jobs and
// takes their outcomes; only it prints, moves files or reads the store.

#include "cli/StampRequest.h"
#include "fs/SafeFs.h"
#include "pdf/Result.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quillary {
class StationeryFiles;
}

namespace quillary::cli {

class StampWorkers {
public:
    struct Job {
        QString documentPath;
        QString outputPath;
        // Shared read-only by every worker: the plan is never changed once
        // made, the stationery bytes never once read. A run whose template
        // changes hands later jobs a new plan and new bytes.
        std::shared_ptr<const StampPlan> plan;
        std::shared_ptr<const StationeryFiles> stationery;
        // A document taken from a folder others can write to is opened by
        // the watch itself (a regular file, never through a link) and read
        // through that open file, so that a name swapped for a link after
        // the check changes nothing. Messages still name documentPath.
        std::shared_ptr<const quillary::fs::Fd> opened;
        // How often processes that died meanwhile began reading it.
        int startedBefore = 0;
    };
    struct Outcome {
        Job job;
        // Ok: the output is written. Otherwise why the document was not
        // stamped; the code tells a document that cannot be stamped (Damaged,
        // PasswordProtected, ...) from an output that could not be written
        // (NoSpace, WriteFailed) and from a stop (Cancelled).
        Result result;
    };

    // Told on a worker's own thread just before it reads a document and
    // once it is done with it (with the result): a watch keeps its notes of
    // the documents in hand with these. Either may be empty.
    struct Hooks {
        std::function<void(const Job&)> reading;
        std::function<void(const Job&, const Result&)> read;
    };

    // Starts count threads. A set stop flag ends the merges in hand (their
    // outputs are not written) and every job still queued as Cancelled.
    StampWorkers(int count, const std::atomic<bool>* stop, Hooks hooks = {});
    // Lets the workers finish the queue, then joins them.
    ~StampWorkers();
    StampWorkers(const StampWorkers&) = delete;
    StampWorkers& operator=(const StampWorkers&) = delete;

    void add(Job job);
    // Jobs handed in and not yet taken back as outcomes.
    int pending() const;
    // The outcomes finished since the last call; waits up to timeout for
    // the first one when there is none yet.
    QList<Outcome> take(std::chrono::milliseconds timeout);

private:
    void work();
    Outcome stamp(const Job& job, class StationeryCache& cache) const;

    const std::atomic<bool>* stop;
    const Hooks hooks;
    mutable std::mutex mutex;
    std::condition_variable jobsWaiting;
    std::condition_variable outcomesWaiting;
    std::deque<Job> queue;
    QList<Outcome> finished;
    int inHand = 0; // added and not yet taken
    bool closing = false;
    std::vector<std::thread> threads;
};

} // namespace quillary::cli
