#pragma once

// The per-user agent ("quillary --agent"): runs in the user's desktop
// session, watches the user's spool folder and opens every printed job in
// print-service mode, one process and one preview window per job, in the
// order the jobs arrived. A job file is removed once its preview process has
// ended of its own accord. Jobs that arrived while no session ran are opened
// when the agent starts.
//
// A preview that dies (killed by a signal other than a request to end) leaves
// its job where it is, and the job is opened once more. A preview asked to
// end (SIGTERM, SIGHUP, SIGINT) has ended of its own accord, but when the
// agent itself was asked to end first (sessionEnds: the session ends), its
// job stays for the next session, uncounted. A job whose preview
// died twice, counting previews that ended with an earlier agent or session
// (see PreviewStarts.h), is not opened again: it is moved into the spool
// folder's set-aside folder and the user is told once, in words, where it is.
//
// Only complete jobs are opened: the backend writes a hidden file and
// renames it to "<job>-<title>.pdf" when it is whole. Hidden files, other
// names, links and folders are left alone.
//
// A folder may hold thousands of waiting jobs (the agent did not run for a
// while, or a flood of jobs came): a look at the folder is made in steps of
// a few milliseconds each, between which the event loop runs. Its names are
// read a slice at a time and kept in hash sets; once all are read, new files
// are examined at most kScanBatch per step, the lowest job numbers first.

#include "printer/agent/PreviewStarts.h"

#include <QFileSystemWatcher>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <set>
#include <tuple>
#include <vector>

#include <dirent.h>
#include <functional>
#include <optional>

class QProcess;

namespace quillary::printer {

class PrintAgent : public QObject {
    Q_OBJECT
public:
    struct Settings {
        QString spoolFolder;     // the user's own folder (it may not exist yet)
        QString program;         // print-service mode: started with the job file as its one argument
        QString entry;           // the user's autostart entry; once it is gone or turns Quillary off, the agent stops (empty: never)
        QStringList systemEntries; // the entry installed for every user, where the user's own does not decide
        int rescanMs = 2000;     // safety net beside the file-system watcher
        int maxOpenPreviews = 8; // more jobs wait until a preview has closed
        // Tells the user something they must know (a desktop notification);
        // unset: the text goes to standard output.
        std::function<void(const QString& summary, const QString& text)> tell = nullptr;
    };

    explicit PrintAgent(Settings settings, QObject* parent = nullptr);
    ~PrintAgent() override; // previews still open are left running

    // Opens what is waiting and watches from then on.
    void start();
    // Opens no more jobs; finished() follows once the open previews have ended.
    void stop();
    // The agent was asked to end (the session ends): the previews open now
    // are no deaths, whatever ends them, and their jobs stay for the next
    // session; then as stop().
    void sessionEnds();
    bool isStopping() const { return stopping; }

    // Job files whose preview runs, in the order they were opened.
    QStringList openJobs() const;
    // Job files found and waiting for a preview, oldest first.
    QStringList waitingJobs() const;
    int waitingCount() const;

    // New files one step of a look examines at most.
    static constexpr int kScanBatch = 256;

signals:
    void previewStarted(const QString& jobFile);
    void previewEnded(const QString& jobFile);
    // A preview process could not be started, or its start could not be
    // counted; its job file stays.
    void previewFailed(const QString& jobFile, const QString& reason);
    // The job's preview died twice: the job was moved to keptFile and the
    // user told.
    void jobSetAside(const QString& jobFile, const QString& keptFile);
    // Stopped, and no preview is open any more.
    void finished();
    // A look at the folder (watcher or timer) is done and what it found is
    // waiting or open.
    void scanned();

private:
    // Arrival order: completion time, job number, name.
    using Arrival = std::tuple<qint64, qint64, QString>;

    void rescan();
    void step();
    void finishReading();
    void watch();
    void openWaiting();
    void launch(const QString& jobFile);
    void ended(QProcess* process);
    void refuse(const QString& jobFile, const QString& reason);
    // Keeps counts as the note, in one step; false with *problem when it cannot.
    bool keepStarts(const StartCounts& counts, QString* problem);
    // Takes names out of the kept counts, saying so when the note cannot be
    // written.
    void forgetStarts(const QSet<QString>& names);
    void setAside(const QString& jobFile);

    Settings settings;
    QFileSystemWatcher watcher;
    QFileSystemWatcher entryWatcher; // the entry and its folder, where an override may appear
    QTimer rescanTimer;
    QTimer soon;                      // the next look, when the folder changed
    QTimer nextStep;                  // the next step of a look
    DIR* reading = nullptr;           // the folder while its names are being read
    bool lookAgain = false;           // the folder changed while it was being read
    QSet<QString> seen;               // job names read so far in this look
    std::vector<std::pair<qint64, QString>> pending; // read, not yet examined: a heap, lowest job number on top
    std::set<Arrival> waiting;        // complete jobs not yet opened (file names)
    QHash<QString, Arrival> waitingByName;
    QList<QProcess*> previews;        // in the order they were opened
    QHash<QProcess*, QString> jobOf;
    QSet<QString> openNames;          // file names of the jobs whose preview runs
    QSet<QString> failed;             // file names, not retried while this agent runs
    StartCounts starts;               // as kept in the note: starts not ended of their own accord
    bool stopping = false;
    bool sessionEnding = false;
};

// Whether the print service is on for this user. The user's own autostart
// entry decides when there is one (TurnedOff when it says Hidden=true or
// X-GNOME-Autostart-enabled=false); otherwise the first system-wide entry
// that exists turns it on. Neither: NotInstalled.
enum class ServiceState { NotInstalled, On, TurnedOff };
ServiceState printServiceState(const QString& userEntry, const QStringList& systemEntries);

// The user's spool folder: <root>/<user name>, the root from
// QUILLARY_SPOOL_ROOT when set, else the built-in one.
QString userSpoolFolder();

// The job number the backend puts in front of the title ("42-Invoice.pdf");
// 0 when there is none.
qint64 jobNumber(const QString& name);

// The title the printing program gave a job, read back from the name the
// backend gave its file ("42-Invoice March.pdf" gives "Invoice March"):
// nothing for a file outside the user's spool folder, or for a job whose
// title was unusable ("document").
std::optional<QString> printJobTitle(const QString& jobFile);

} // namespace quillary::printer
