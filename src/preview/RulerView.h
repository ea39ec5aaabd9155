#pragma once

#include <QColor>
#include <QWidget>

namespace quillary {

// A dashed help line over the offset editor's page: a vertical one moves left
// and right, a horizontal one up and down, only within its limits. It is a
// guide for the eye and changes no offset.
class RulerView : public QWidget {
    Q_OBJECT
public:
    // leftToRight true: a vertical line that moves left and right; limits are
    // the lowest and highest position of the line in the parent's coordinates.
    RulerView(bool leftToRight, int lowest, int highest, QWidget* parent);

    bool leftToRight() const { return vertical; }
    QColor dashColor = QColor(Qt::gray);

    // Position of the line in the parent: x for a vertical line, y otherwise.
    int position() const;
    // Moves the line to position, kept within the limits.
    void moveTo(int position);

    static constexpr int kThickness = 9;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool vertical;
    int lowest;
    int highest;
};

} // namespace quillary
