#pragma once

// The five tips of the guided tour, shown one at a time over the main view:
// each darkens the window but for the control it is about (the template
// list, the add button, the three page slots, the enable and layer switches,
// the save button) and explains it on a card with "Next" and "Close". The
// third also opens the guide sheet beside the slots, and closes it again when
// the tour moves on.

#include "guides/FirstGuide.h"

#include <QList>
#include <QPointer>

class QLabel;
class QPushButton;

namespace quillary {

class MainViewController;
class ShadowView;

class TourTipView : public FirstGuide {
    Q_OBJECT
public:
    static constexpr int Count = 5;
    // Room between the control and the edge of the cut-out.
    static constexpr int Padding = 8;

    TourTipView(int number, MainViewController* main);

    int number() const { return tip; }
    QPushButton* nextButton() const { return next; }
    QPushButton* closeButton() const { return close; }
    ShadowView* card() const { return cardView; }
    // The control the tip is about, in the main view's coordinates.
    QRect targetRect() const;

    // Recomputes the cut-out and the card's place from where the controls are now.
    void relayout();

    static QString title(int number);
    static QString text(int number);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QList<QWidget*> targets() const;
    void watchTargets();
    void placeCard(const QRect& around);

    int tip;
    QPointer<MainViewController> main;
    ShadowView* cardView = nullptr;
    QPushButton* next = nullptr;
    QPushButton* close = nullptr;
    QList<QPointer<QWidget>> watched;
    bool relayoutQueued = false;
};

// The factory MainViewController makes its tips with.
QWidget* createTourTip(int number, MainViewController* main);

} // namespace quillary
