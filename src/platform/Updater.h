#pragma once

// Software updates. Quillary is updated by whoever installed it: on Linux the
// system's packages. A build may name an update feed (QUILLARY_UPDATE_FEED, a
// URL of a plain-text file whose first line is the newest version and whose
// second line, if any, says where to get it); without one the update command
// tells the user where updates come from. Main thread only.

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVersionNumber>

class QNetworkAccessManager;
class QNetworkReply;
class QWidget;

namespace quillary {

class Updater : public QObject {
    Q_OBJECT
public:
    // The feed the build names; empty when it names none.
    static QUrl configuredFeed();

    explicit Updater(QUrl feed = configuredFeed(), QObject* parent = nullptr);

    // Alerts of the on-demand check open over this window.
    void setDelegate(QWidget* window) { delegate = window; }
    // Looks for a newer version without a word unless one is found.
    void checkForUpdatesInBackground();
    // Looks for a newer version and always says what it found.
    void checkForUpdates(QObject* sender = nullptr);

    QUrl feed() const { return feedUrl; }
    QVersionNumber currentVersion() const { return current; }
    void setCurrentVersion(const QVersionNumber& version) { current = version; }

signals:
    // A check has ended (found something or not, told the user or not).
    void checkFinished();

private:
    void fetch(bool userAsked);
    void finished(QNetworkReply* reply, bool userAsked);

    QUrl feedUrl;
    QVersionNumber current;
    QPointer<QWidget> delegate;
    QNetworkAccessManager* network = nullptr;
};

} // namespace quillary
