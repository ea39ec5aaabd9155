#pragma once

// A tour tip's overlay: it darkens everything behind it (black at alpha 0.9)
// except a rounded cut-out over highlightPoint, the control the tip is about.
// The cut-out is a hole in the view, not only in its paint: clicks and drops
// inside it reach the control beneath.

#include "controls/StyledView.h"

#include <QAbstractButton>
#include <QPointer>
#include <QRectF>

namespace quillary {

class FirstGuide : public StyledView {
    Q_OBJECT
    Q_PROPERTY(QRectF highlightPoint READ highlightPoint WRITE setHighlightPoint)
public:
    static constexpr qreal OverlayAlpha = 0.9;

    explicit FirstGuide(QWidget* parent = nullptr);

    // The cut-out, in this view's coordinates; empty: no cut-out.
    QRectF highlightPoint() const { return highlight; }
    void setHighlightPoint(const QRectF& rect);

    // Outlet kept for layouts that name the assistant's configure button; the
    // actions below reach it through EditingViews instead.
    QPointer<QAbstractButton> configureButton;

    // Posts "circleView" with the sender's "tag" and this guide's window.
    void clickCircleViewWithSender(QObject* sender);
    // Closes the guide window around this guide, if any, then clicks the
    // assistant's configure button when one is known.
    void configurePrinterWithSender(QObject* sender);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void styleChanged() override;

private:
    void updateMask();

    QRectF highlight;
};

// What the configure action of every guide does: closes the guide window
// that holds guide (if it is in one), then clicks the assistant's configure
// button, if an assistant has published one.
void configurePrinter(QWidget* guide);

} // namespace quillary
