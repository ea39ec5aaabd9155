#include "cli/StampWorkers.h"

#include "pdf/Stationery.h"
#include "pdf/TaskManager.h"

namespace quillary::cli {

StampWorkers::StampWorkers(int count, const std::atomic<bool>* stop, Hooks hooks)
    : stop(stop), hooks(std::move(hooks))
{
    threads.reserve(size_t(std::max(count, 1)));
    for (int i = 0; i < std::max(count, 1); ++i)
        threads.emplace_back([this] { work(); });
}

StampWorkers::~StampWorkers()
{
    {
        std::lock_guard lock(mutex);
        closing = true;
    }
    jobsWaiting.notify_all();
    for (std::thread& thread : threads)
        thread.join();
}

void StampWorkers::add(Job job)
{
    {
        std::lock_guard lock(mutex);
        queue.push_back(std::move(job));
        ++inHand;
    }
    jobsWaiting.notify_one();
}

int StampWorkers::pending() const
{
    std::lock_guard lock(mutex);
    return inHand;
}

QList<StampWorkers::Outcome> StampWorkers::take(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex);
    outcomesWaiting.wait_for(lock, timeout, [this] { return !finished.isEmpty(); });
    QList<Outcome> outcomes;
    outcomes.swap(finished);
    inHand -= int(outcomes.size());
    return outcomes;
}

void StampWorkers::work()
{
    // This thread's own parsed stationery, kept from one document to the next.
    StationeryCache cache;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex);
            jobsWaiting.wait(lock, [this] { return closing || !queue.empty(); });
            if (queue.empty())
                return;
            job = std::move(queue.front());
            queue.pop_front();
        }
        Outcome outcome = stamp(job, cache);
        {
            std::lock_guard lock(mutex);
            finished.push_back(std::move(outcome));
        }
        outcomesWaiting.notify_all();
    }
}

StampWorkers::Outcome StampWorkers::stamp(const Job& job, StationeryCache& cache) const
{
    MergeControl control;
    control.stop = stop;
    if (control.stopped())
        return {job, Result::failure(ErrorCode::Cancelled, QStringLiteral("%1: not started").arg(job.documentPath))};
    // The open file's own name in /proc stands for the document while it is
    // read; what is told names the document as it was found.
    const QString reading = job.opened ? QStringLiteral("/proc/self/fd/%1").arg(job.opened->get()) : job.documentPath;
    const auto named = [&](Result r) {
        if (reading != job.documentPath) {
            r.error.replace(reading, job.documentPath);
            for (QString& warning : r.warnings)
                warning.replace(reading, job.documentPath);
        }
        return r;
    };
    if (hooks.reading)
        hooks.reading(job);
    const auto told = [&](Result r) {
        if (hooks.read)
            hooks.read(job, r);
        return Outcome{job, named(std::move(r))};
    };
    const Resolution resolution =
        resolveDocument(*job.plan, job.documentPath, job.outputPath, job.opened ? reading : QString());
    if (!resolution.request)
        return told(Result::failure(resolution.code, resolution.error));
    cache.use(job.stationery);
    Result merged = TaskManager::mergeDocument(*resolution.request, control, cache);
    merged.warnings = resolution.warnings + merged.warnings;
    return told(std::move(merged));
}

} // namespace quillary::cli
