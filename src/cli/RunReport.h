#pragma once

// What a run of many documents tells on standard error: one line per failure
// and per warning, a progress line while it runs (on a terminal only) and a
// summary at the end. Used from the thread that owns the run.

#include <QSet>
#include <QString>
#include <QTextStream>

#include <chrono>

namespace quillary::cli {

class RunReport {
public:
    // progressShown: err is a terminal, where a line can be redrawn in place.
    RunReport(QTextStream& err, bool progressShown);

    // "quillary-stamp: <text>" on a line of its own (made printable).
    void line(const QString& text);
    // "quillary-stamp: warning: <text>", each text once per run: the same
    // note about a stationery file would otherwise repeat for every document.
    void warning(const QString& text);
    // Redraws the progress line, at most a few times a second.
    void progress(int done, int failed, int total);
    // Clears the progress line and prints "N stamped, M failed in T s",
    // with what follows it (", stopped", say).
    void summary(int stamped, int failed, const QString& tail = {});

    double elapsedSeconds() const;

private:
    void clearProgress();

    QTextStream& err;
    const bool progressShown;
    bool progressOnScreen = false;
    QSet<QString> warned;
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point lastDrawn;
};

} // namespace quillary::cli
