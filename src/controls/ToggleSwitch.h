#pragma once

// An on/off switch drawn as a track with a sliding knob. Checkable; toggled by
// a click or the space bar like any button.

#include <QAbstractButton>

namespace quillary {

class ToggleSwitch : public QAbstractButton {
    Q_OBJECT
public:
    explicit ToggleSwitch(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

} // namespace quillary
