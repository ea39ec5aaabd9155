#include "guides/VideoGuide.h"

#include "platform/StderrSieve.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLoggingCategory>
#include <QMediaPlayer>
#include <QPainter>
#include <QPainterPath>
#include <QPluginLoader>
#include <QTimer>
#include <QVBoxLayout>
#include <QVideoWidget>

#include <optional>

#ifdef Q_OS_LINUX
#include <dlfcn.h>
#endif

namespace quillary {

namespace {

// The keys of the multimedia backends installed ("ffmpeg", "gstreamer",
// "darwin", "windows", ...), read from the plugins' metadata without loading them.
QStringList installedMediaBackends()
{
    QStringList keys;
    for (const QString& path : QCoreApplication::libraryPaths()) {
        const QDir folder(path + QStringLiteral("/multimedia"));
        for (const QFileInfo& plugin : folder.entryInfoList(QDir::Files)) {
            const QJsonObject meta = QPluginLoader(plugin.absoluteFilePath()).metaData();
            for (const QJsonValue& key : meta.value(QStringLiteral("MetaData")).toObject().value(QStringLiteral("Keys")).toArray())
                keys << key.toString();
        }
    }
    return keys;
}

// The decoders probe every kind of video hardware (CUDA, VA-API, VDPAU) and
// print each failed probe on standard error: a silent clip of a few seconds
// needs none of it, and the user's terminal none of their lines. Their
// libraries are told to be quiet before the player loads them (the same
// instance of each is shared by the whole process); failures to play still
// reach the player's error signal.
void quietMediaLibraries()
{
    if (qEnvironmentVariableIsEmpty("LIBVA_MESSAGING_LEVEL"))
        qputenv("LIBVA_MESSAGING_LEVEL", "0");
#ifdef Q_OS_LINUX
    if (!qEnvironmentVariableIsEmpty("QUILLARY_MEDIA_LOG"))
        return; // to see them after all
    for (const char* name : {"libavutil.so.57", "libavutil.so.58", "libavutil.so.59", "libavutil.so.56"}) {
        // Kept open: the setting lives in the library.
        if (void* library = ::dlopen(name, RTLD_NOW | RTLD_LOCAL)) {
            using SetLevel = void (*)(int);
            if (auto setLevel = reinterpret_cast<SetLevel>(::dlsym(library, "av_log_set_level")))
                setLevel(-8); // AV_LOG_QUIET
            break;
        }
    }
#endif
}

bool probeMediaBackend()
{
    // Qt Multimedia aborts the process when the backend it is told to use
    // (or its first choice) cannot be loaded, and its GStreamer backend
    // crashes when GStreamer's own plugins are missing: the backend is chosen
    // here, before the first player exists, among those that are installed.
    const QStringList installed = installedMediaBackends();
    // The backends report their probing of video hardware as debug output;
    // the application's own output is its lines on standard output.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    const QByteArray asked = qgetenv("QT_MEDIA_BACKEND");
    if (!asked.isEmpty())
        return installed.contains(QString::fromLatin1(asked));
    for (const char* backend : {"ffmpeg", "darwin", "windows", "android"}) {
        if (installed.contains(QLatin1String(backend))) {
            qputenv("QT_MEDIA_BACKEND", backend);
            quietMediaLibraries();
            return true;
        }
    }
    return false;
}

std::function<bool()>& backendProbe()
{
    static std::function<bool()> probe;
    return probe;
}

} // namespace

bool VideoGuide::mediaBackendAvailable()
{
    if (backendProbe())
        return backendProbe()();
    static const bool available = probeMediaBackend();
    return available;
}

void VideoGuide::setMediaBackendProbe(std::function<bool()> probe)
{
    backendProbe() = std::move(probe);
}

QString VideoGuide::defaultSource()
{
    // The clip made in the interface's language, where there is one.
    //: File name of the guide video in this language (German: "quillary_de.mp4")
    const QString localized = QStringLiteral(":/quillary/guides/") + tr("quillary.mp4");
    return QFile::exists(localized) ? localized : QStringLiteral(":/quillary/guides/quillary.mp4");
}

VideoGuide::VideoGuide(QWidget* parent)
    : StyledView(Qt::white, parent)
    , videoSource(defaultSource())
{
    setAccessibleName(tr("Video guide"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    still = new QLabel(this);
    still->setObjectName(QStringLiteral("stillMessage"));
    still->setAlignment(Qt::AlignCenter);
    still->setWordWrap(true);
    still->setMargin(18);
    still->setTextFormat(Qt::PlainText);
    still->hide();
    layout->addWidget(still);
}

VideoGuide::~VideoGuide()
{
    tearDownPlayer();
}

void VideoGuide::setSource(const QString& path)
{
    videoSource = path;
    if (isVisible()) {
        tearDownPlayer();
        setUpPlayer();
    }
}

bool VideoGuide::showsStill() const
{
    return !still->isHidden();
}

void VideoGuide::showEvent(QShowEvent* event)
{
    StyledView::showEvent(event);
    // Shown in a window again: a new player.
    if (!media && !showsStill())
        setUpPlayer();
}

void VideoGuide::hideEvent(QHideEvent* event)
{
    StyledView::hideEvent(event);
    tearDownPlayer();
    still->hide();
}

void VideoGuide::setUpPlayer()
{
    auto source = std::make_unique<QFile>(videoSource);
    if (!source->exists() || !source->open(QIODevice::ReadOnly)) {
        showStill(tr("The video guide is not installed. Drop your letterhead PDF on the start page, or click a "
                     "page below to choose a file."));
        return;
    }
    if (!mediaBackendAvailable()) {
        showStill(tr("Videos cannot be played on this system. Drop your letterhead PDF on the start page, or click "
                     "a page below to choose a file."));
        return;
    }
    still->hide();
    file = std::move(source);
    playerView = new QVideoWidget(this);
    // Filled to the edges: the clip has the view's shape, give or take a pixel.
    playerView->setAspectRatioMode(Qt::KeepAspectRatioByExpanding);
    playerView->setAccessibleName(tr("How a letterhead is put into the page slots"));
    layout()->addWidget(playerView);
    // The decoders look for video hardware when the clip first opens, and
    // the driver loaders report every driver they do not find on standard
    // error themselves: held back for the first seconds, passed on but that.
    sieve = std::make_unique<StderrSieve>(videoHardwareProbeNoise());
    QTimer::singleShot(4000, this, [this] { sieve.reset(); });
    media = new QMediaPlayer(this);
    media->setVideoOutput(playerView);
    connect(media, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error, const QString&) {
        showStill(tr("The video guide cannot be played. Drop your letterhead PDF on the start page, or click a page "
                     "below to choose a file."));
    });
    connect(media, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::EndOfMedia) {
            // Not from inside the player's own notification: rewinding there
            // makes it report the end again at once.
            QTimer::singleShot(0, this, &VideoGuide::playerItemDidReachEnd);
        } else if (status == QMediaPlayer::InvalidMedia) {
            showStill(tr("The video guide cannot be played. Drop your letterhead PDF on the start page, or click a "
                         "page below to choose a file."));
        }
    });
    // The file name tells the player the container format.
    media->setSourceDevice(file.get(), QUrl(QStringLiteral("quillary.mp4")));
    media->play();
    emit playbackStarted();
}

void VideoGuide::tearDownPlayer()
{
    sieve.reset();
    if (media) {
        media->disconnect(this);
        media->stop();
        delete media.data();
    }
    delete playerView.data();
    file.reset();
}

void VideoGuide::playerItemDidReachEnd()
{
    if (!media)
        return;
    media->setPosition(0);
    media->play();
    ++rewound;
}

void VideoGuide::showStill(const QString& reason)
{
    // Later: the player may be reporting from inside its own call.
    QTimer::singleShot(0, this, &VideoGuide::tearDownPlayer);
    if (playerView)
        playerView->hide();
    still->setText(reason);
    still->show();
    emit stillShown(reason);
}

void VideoGuide::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath box;
    box.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius(), cornerRadius());
    painter.fillPath(box, backgroundColor());
    if (borderWidth() > 0) {
        painter.setPen(QPen(borderColor(), borderWidth()));
        painter.drawPath(box);
    }
}

} // namespace quillary
