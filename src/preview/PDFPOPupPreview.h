#pragma once

// The hover popover that shows one page enlarged: the merged page under the
// pointer in the preview window, the stored page of a slot in the template
// assistant. It shows the first page of `path` when that is set, otherwise
// `popUPimg`. It closes when the pointer leaves its anchor or the user clicks
// elsewhere.

#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QWidget>

namespace quillary {

class PDFPOPupPreview : public QWidget {
    Q_OBJECT
public:
    // Which side of the anchor rectangle the popover opens on.
    enum class Edge { MinX, MinY, MaxX, MaxY };

    explicit PDFPOPupPreview(QWidget* parent = nullptr);

    // A PDF file whose first page is shown; empty: popUPimg is shown.
    QString path;
    QImage popUPimg;

    // Sizes the popover's content to size (points), fills it and shows it
    // beside rect (in anchor's coordinates) on the given edge, kept on the
    // anchor's screen.
    void showRelativeTo(QWidget* anchor, const QRect& rect, Edge edge, const QSize& size);
    // The image it shows, for tests.
    QImage shownImage() const { return shown; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh(const QSize& size);

    QImage shown;
};

} // namespace quillary
