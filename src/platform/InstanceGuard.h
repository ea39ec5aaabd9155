#pragma once

// One management window per store: a second start of management mode hands
// over to the running one, which brings its window forward, and ends. Two
// processes writing the same settings file would overwrite each other's
// changes.

#include <QObject>
#include <QString>

class QLocalServer;

namespace quillary {

class InstanceGuard : public QObject {
    Q_OBJECT
public:
    // socketPath: where the running instance listens (a local socket).
    explicit InstanceGuard(QString socketPath, QObject* parent = nullptr);
    ~InstanceGuard() override;

    // True when a running instance took the request to reopen; this process
    // then has nothing more to do.
    bool handOver();
    // Listens for later starts (a socket left by a process that ended
    // without cleaning up is replaced). False when it cannot listen.
    bool listen();

signals:
    // A later start asked this instance to show its window.
    void reopenRequested();

private:
    QString path;
    QLocalServer* server = nullptr;
};

} // namespace quillary
