#pragma once

// The per-user agent ("quillary --agent"): runs in the user's desktop
// session, watches the user's spool folder and opens every printed job in
// print-service mode, one process and one preview window per job, in the
// order the jobs arrived. A job file is removed once its preview process has
// ended. Jobs that arrived while no session ran are opened when the agent
// starts.
//
// Only complete jobs are opened: the backend writes a hidden file and
// renames it to "<job>-<title>.pdf" when it is whole. Hidden files, other
// names, links and folders are left alone.

#include <QFileSystemWatcher>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <optional>

class QProcess;

namespace quillary::printer {

class PrintAgent : public QObject {
    Q_OBJECT
public:
    struct Settings {
        QString spoolFolder;     // the user's own folder (it may not exist yet)
        QString program;         // print-service mode: started with the job file as its one argument
        QString entry;           // the installed autostart entry; once it is gone the agent stops (empty: never)
        int rescanMs = 2000;     // safety net beside the file-system watcher
        int maxOpenPreviews = 8; // more jobs wait until a preview has closed
    };

    explicit PrintAgent(Settings settings, QObject* parent = nullptr);
    ~PrintAgent() override; // previews still open are left running

    // Opens what is waiting and watches from then on.
    void start();
    // Opens no more jobs; finished() follows once the open previews have ended.
    void stop();
    bool isStopping() const { return stopping; }

    // Job files whose preview runs, in the order they were opened.
    QStringList openJobs() const;

signals:
    void previewStarted(const QString& jobFile);
    void previewEnded(const QString& jobFile);
    // A preview process could not be started; its job file stays.
    void previewFailed(const QString& jobFile, const QString& reason);
    // Stopped, and no preview is open any more.
    void finished();
    // One look at the folder is done (watcher or timer).
    void scanned();

private:
    void rescan();
    void watch();
    void openWaiting();
    void launch(const QString& jobFile);
    void ended(QProcess* process);

    Settings settings;
    QFileSystemWatcher watcher;
    QTimer rescanTimer;
    QList<QString> waiting;           // complete jobs not yet opened, oldest first
    QList<QProcess*> previews;        // in the order they were opened
    QHash<QProcess*, QString> jobOf;
    QSet<QString> failed;             // not retried while this agent runs
    bool stopping = false;
};

// The user's spool folder: <root>/<user name>, the root from
// QUILLARY_SPOOL_ROOT when set, else the built-in one.
QString userSpoolFolder();

// The title the printing program gave a job, read back from the name the
// backend gave its file ("42-Invoice March.pdf" gives "Invoice March"):
// nothing for a file outside the user's spool folder, or for a job whose
// title was unusable ("document").
std::optional<QString> printJobTitle(const QString& jobFile);

// Complete job files of a folder, oldest first (by the time they were
// completed, then by job number).
QStringList completeJobs(const QString& folder);

} // namespace quillary::printer
