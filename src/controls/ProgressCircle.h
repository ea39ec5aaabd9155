#pragma once

#include <QTimer>
#include <QWidget>

namespace quillary {

// An indeterminate progress indicator: a turning arc, drawn only while
// animating, so that it takes its place in a layout without showing.
class ProgressCircle : public QWidget {
    Q_OBJECT
public:
    explicit ProgressCircle(QWidget* parent = nullptr);

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return timer.isActive(); }

    QSize sizeHint() const override { return {20, 20}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer timer;
    int angle = 0;
};

} // namespace quillary
