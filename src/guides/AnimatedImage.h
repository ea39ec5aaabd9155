#pragma once

// An image that bobs to draw the eye: every 0.7 seconds it glides 20 points
// up, then back down, for as long as it exists. It moves itself, so its
// parent places it by hand, not by a layout.

#include <QIcon>
#include <QPropertyAnimation>
#include <QTimer>
#include <QWidget>

namespace quillary {

class AnimatedImage : public QWidget {
    Q_OBJECT
public:
    static constexpr int IntervalMs = 700;
    static constexpr int Step = 20;

    explicit AnimatedImage(QWidget* parent = nullptr);

    // True before a step up, false before a step down.
    bool toggle = true;

    void setImage(const QIcon& image);
    // One step (the timer's action).
    void animate();
    // Where the current step ends.
    QPoint target() const;

    QTimer& timer() { return ticker; }
    QPropertyAnimation& animator() { return glide; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QIcon image;
    QTimer ticker;
    QPropertyAnimation glide;
    QPoint resting;
};

} // namespace quillary
