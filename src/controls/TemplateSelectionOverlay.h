#pragma once

// A plain view that lights up while the pointer is on it: its background is
// highlightColor then, backgroundColor otherwise, drawn with rounded corners,
// an optional border and an optional soft shadow.

#include "controls/StyledView.h"

#include <QColor>

namespace quillary {

class TemplateSelectionOverlay : public StyledView {
    Q_OBJECT
    Q_PROPERTY(QColor highlightColor READ highlightColor WRITE setHighlightColor)
    Q_PROPERTY(QColor selectedColor READ selectedColor WRITE setSelectedColor)
public:
    explicit TemplateSelectionOverlay(QWidget* parent = nullptr);

    QColor highlightColor() const { return highlight; }
    void setHighlightColor(const QColor& colour);
    QColor selectedColor() const { return selected; }
    void setSelectedColor(const QColor& colour);

    bool isHovered() const { return hovered; }
    // What the background shows now: highlightColor while hovered.
    QColor currentColor() const { return hovered ? highlight : backgroundColor(); }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QColor highlight = Qt::white;
    QColor selected = Qt::white;
    bool hovered = false;
};

} // namespace quillary
