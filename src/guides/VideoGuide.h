#pragma once

// The guide's video: "quillary.mp4" from the application's resources, played
// without sound in a loop (rewound whenever it reaches its end) while the
// view is shown. When there is nothing to play (the resource is missing or
// damaged, or Qt Multimedia has no playback backend here) the view shows a
// still message in its place; it never takes the application down.

#include "controls/StyledView.h"

#include <QPointer>
#include <QRectF>

#include <functional>
#include <memory>

#include <QMediaPlayer>
#include <QVideoWidget>

class QFile;
class QLabel;

namespace quillary {

class StderrSieve;

class VideoGuide : public StyledView {
    Q_OBJECT
    Q_PROPERTY(QRectF highlightPoint MEMBER highlightPoint)
public:
    static QString defaultSource();

    explicit VideoGuide(QWidget* parent = nullptr);
    ~VideoGuide() override;

    QRectF highlightPoint;

    // The video to play: a resource (":/...") or a file path.
    void setSource(const QString& path);
    QString source() const { return videoSource; }

    // The player view while a video plays (a weak outlet).
    QVideoWidget* player() const { return playerView; }
    QMediaPlayer* mediaPlayer() const { return media; }
    // The message shown instead of the video, and whether it is shown.
    QLabel* stillMessage() const { return still; }
    bool showsStill() const;
    // How often the video started again from its beginning.
    int rewinds() const { return rewound; }

    // Rewinds the video and plays on (the end of every pass).
    void playerItemDidReachEnd();

    // Whether Qt Multimedia can play here; chooses its backend on first use.
    // Tests replace the answer.
    static bool mediaBackendAvailable();
    static void setMediaBackendProbe(std::function<bool()> probe);

signals:
    void playbackStarted();
    void stillShown(const QString& reason);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setUpPlayer();
    void tearDownPlayer();
    void showStill(const QString& reason);

    QString videoSource;
    QPointer<QVideoWidget> playerView;
    QPointer<QMediaPlayer> media;
    std::unique_ptr<QFile> file;
    QLabel* still = nullptr;
    int rewound = 0;
    // Holds back the decoders' hardware probing while the player starts.
    std::unique_ptr<StderrSieve> sieve;
};

} // namespace quillary
