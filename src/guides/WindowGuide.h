#pragma once

// The guide sheet's window: a panel that floats over the template window (a
// child of it, so that it moves with it and needs no window manager), beside
// the page slots rather than over them, so that files can still be dropped
// there. Its content view controller is one scene of the guide; the segue
// "trigger" replaces it with the next. Closing the window ends the guide.
//
// CustomWindowGuide is its controller: it strips the window to its content
// (no title, no frame, no shadow, a clear background) and places it.

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace quillary {

class WindowGuide : public QWidget {
    Q_OBJECT
public:
    // A child of host, not yet shown; black at alpha 0.2 until its controller
    // clears it.
    explicit WindowGuide(QWidget* host);

    QWidget* contentViewController() const { return content; }
    // Shows content (the window takes it); the previous content goes away
    // once control returns to the event loop, deaf to notifications at once.
    void setContentViewController(QWidget* content);

    QColor backgroundColor() const { return background; }
    void setBackgroundColor(const QColor& colour);

    // The guide window a view is shown in (the view itself, or an ancestor);
    // nullptr when it is in none.
    static WindowGuide* of(const QWidget* view);

signals:
    void contentChanged(QWidget* content);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<QWidget> content;
    QColor background;
};

class CustomWindowGuide : public QObject {
    Q_OBJECT
public:
    // Controls a new guide window over host.
    explicit CustomWindowGuide(QWidget* host);

    WindowGuide* window() const { return guideWindow; }
    // Strips the window: no title, no frame or shadow, a clear background.
    void windowDidLoad();
    // Places the window at the host's leading edge and shows it on top.
    void showWindow();

    // The guide sheet of host, if one is open.
    static WindowGuide* sheetOf(const QWidget* host);

    static constexpr int Width = 400;
    static constexpr int Margin = 12;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    QPointer<QWidget> host;
    QPointer<WindowGuide> guideWindow;
};

} // namespace quillary
