// How long the print agent's look at the user's spool folder holds its event
// loop when many jobs wait there (a user whose agent did not run for a long
// time, or a flood of jobs), and how long until all are found. The agent
// opens no preview here (at most zero at once), so only the look is timed.
//
// Run by bench/print-latency scan, or directly: bench_print_scan [JOBS]
// (default 20000). The job files are made once in a temporary folder.

#include "printer/agent/PrintAgent.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using quillary::printer::PrintAgent;

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int jobs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("spool/bench"));
    if (!dir.isValid() || !QDir().mkpath(folder)) {
        std::fprintf(stderr, "bench_print_scan: cannot make a spool folder\n");
        return 1;
    }
    for (int i = 1; i <= jobs; ++i) {
        const QByteArray name = QFile::encodeName(folder + QStringLiteral("/%1-Waiting job.pdf").arg(i));
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 || ::write(fd, "%PDF-1.7\n", 9) != 9 || ::close(fd) != 0) {
            std::fprintf(stderr, "bench_print_scan: cannot write job %d\n", i);
            return 1;
        }
    }

    // The agent's look runs in steps between which the event loop runs; a
    // step is what holds the loop. Measured: the longest single step, and
    // the time until every job was found and waits for its preview.
    constexpr int kRounds = 15;
    std::vector<double> longest, whole;
    for (int round = 0; round < kRounds; ++round) {
        PrintAgent agent({.spoolFolder = folder, .program = QStringLiteral("/bin/true"), .entry = QString(),
                          .systemEntries = {}, .rescanMs = 2000, .maxOpenPreviews = 0});
        QElapsedTimer total, step;
        double slowest = 0;
        total.start();
        step.start();
        agent.start();
        slowest = step.nsecsElapsed() / 1e6;
        while (agent.waitingCount() < jobs) {
            step.restart();
            QCoreApplication::processEvents();
            slowest = std::max(slowest, step.nsecsElapsed() / 1e6);
        }
        whole.push_back(total.nsecsElapsed() / 1e6);
        longest.push_back(slowest);
    }
    std::printf("%d waiting jobs: longest step of a look median %.1f ms (slowest %.1f); "
                "all found after median %.1f ms (slowest %.1f)\n",
                jobs, median(longest), *std::max_element(longest.begin(), longest.end()), median(whole),
                *std::max_element(whole.begin(), whole.end()));
    return 0;
}
