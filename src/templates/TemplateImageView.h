#pragma once

// The thumbnail of a page slot: the page fitted into the slot with an 8-point
// margin, tinted while the pointer is over it, with a larger preview in a
// popover and the slot's button turned into a remove button meanwhile. While
// a tour tip is shown the popover stays closed.

#include "pdf/PageGeometry.h"

#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QWidget>

namespace quillary {

class CircleView;
class PDFPOPupPreview;

// Where the thumbnail of a page of pageSize goes in a box: the page fitted
// into the box and centred along the free axis, then inset by 8 on every side.
QRectF thumbnailFrame(const QSizeF& pageSize, const QSizeF& box);
// The popover's page size: 320 along the longer side of the page.
QSize popoverSize(const PageSize& pageSize);

class TemplateImageView : public QWidget {
    Q_OBJECT
public:
    explicit TemplateImageView(QWidget* parent = nullptr);
    ~TemplateImageView() override;

    // The file shown (and previewed in the popover); empty: nothing.
    void setPath(const QString& path);
    QString path() const;
    // The slot button whose image the hover changes.
    void setButton(CircleView* button);

    PDFPOPupPreview* ns = nullptr;
    bool isInTourTip;
    bool isHovered() const { return hovered; }
    void changeIsInTourTip() { isInTourTip = !isInTourTip; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPointer<CircleView> circle;
    bool hovered = false;
};

} // namespace quillary
