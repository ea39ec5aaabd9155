#include "cli/RunReport.h"

#include "cli/StampOptions.h"

namespace quillary::cli {

RunReport::RunReport(QTextStream& err, bool progressShown)
    : err(err), progressShown(progressShown), started(std::chrono::steady_clock::now())
{
}

void RunReport::clearProgress()
{
    if (!progressOnScreen)
        return;
    err << "\r\033[K";
    progressOnScreen = false;
}

void RunReport::line(const QString& text)
{
    clearProgress();
    err << "quillary-stamp: " << printableLine(text) << '\n';
    err.flush();
}

void RunReport::warning(const QString& text)
{
    if (warned.contains(text))
        return;
    warned.insert(text);
    line(QStringLiteral("warning: ") + text);
}

void RunReport::progress(int done, int failed, int total)
{
    if (!progressShown)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (progressOnScreen && done < total && now - lastDrawn < std::chrono::milliseconds(100))
        return;
    lastDrawn = now;
    err << "\r\033[K" << done << " of " << total << " documents";
    if (failed > 0)
        err << ", " << failed << " failed";
    err.flush();
    progressOnScreen = true;
}

void RunReport::summary(int stamped, int failed, const QString& tail)
{
    line(QStringLiteral("%1 stamped, %2 failed in %3 s%4")
             .arg(stamped)
             .arg(failed)
             .arg(elapsedSeconds(), 0, 'f', 2)
             .arg(tail));
}

double RunReport::elapsedSeconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

} // namespace quillary::cli
