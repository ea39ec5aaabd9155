#include "platform/Updater.h"

#include "platform/Ui.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QWidget>

namespace quillary {

QUrl Updater::configuredFeed()
{
#ifdef QUILLARY_UPDATE_FEED
    return QUrl(QStringLiteral(QUILLARY_UPDATE_FEED));
#else
    return {};
#endif
}

Updater::Updater(QUrl feed, QObject* parent)
    : QObject(parent)
    , feedUrl(std::move(feed))
    , current(QVersionNumber::fromString(QStringLiteral(QUILLARY_VERSION)))
{
}

void Updater::checkForUpdatesInBackground()
{
    if (!feedUrl.isEmpty())
        fetch(false);
}

void Updater::checkForUpdates(QObject*)
{
    if (feedUrl.isEmpty()) {
        Ui::instance().alert(delegate, tr("Search updates"),
                             tr("Updates for Quillary come with your system's packages."));
        emit checkFinished();
        return;
    }
    fetch(true);
}

void Updater::fetch(bool userAsked)
{
    if (!network)
        network = new QNetworkAccessManager(this);
    QNetworkRequest request(feedUrl);
    request.setTransferTimeout(15000);
    QNetworkReply* reply = network->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply, userAsked] { finished(reply, userAsked); });
}

void Updater::finished(QNetworkReply* reply, bool userAsked)
{
    reply->deleteLater();
    const QStringList lines = QString::fromUtf8(reply->readAll()).split(QLatin1Char('\n'));
    const QVersionNumber newest = QVersionNumber::fromString(lines.value(0).trimmed());
    const QString where = lines.value(1).trimmed();
    if (reply->error() != QNetworkReply::NoError || newest.isNull()) {
        // A background check that fails bothers nobody; the user who asked is told.
        if (userAsked)
            Ui::instance().alert(delegate, tr("Search updates"),
                                 tr("The update information could not be read: %1")
                                     .arg(reply->error() != QNetworkReply::NoError ? reply->errorString()
                                                                                   : feedUrl.toDisplayString()));
    } else if (newest > current) {
        Ui::instance().alert(delegate, tr("A new version is available"),
                             where.isEmpty() ? tr("Quillary %1 is available.").arg(newest.toString())
                                             : tr("Quillary %1 is available at %2.").arg(newest.toString(), where));
    } else if (userAsked) {
        Ui::instance().alert(delegate, tr("Quillary is up to date"),
                             tr("Version %1 is the newest version.").arg(current.toString()));
    }
    emit checkFinished();
}

} // namespace quillary
