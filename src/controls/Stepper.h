#pragma once

#include <QWidget>

class QToolButton;

namespace quillary {

// Two small arrow buttons stacked, for stepping a number field up and down.
// Holding a button repeats.
class Stepper : public QWidget {
    Q_OBJECT
public:
    explicit Stepper(QWidget* parent = nullptr);

    // Accessible names of the two buttons ("Increase x", ...).
    void setNames(const QString& up, const QString& down);
    QToolButton* upButton() const { return up; }
    QToolButton* downButton() const { return down; }

signals:
    // +1 for up, -1 for down.
    void stepped(int direction);

private:
    QToolButton* up;
    QToolButton* down;
};

} // namespace quillary
