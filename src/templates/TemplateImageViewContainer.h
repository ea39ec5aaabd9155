#pragma once

// The drop target of a page slot: takes a PDF file dropped on it (exactly
// ".pdf", first page A4 or US Letter in either orientation; anything else is
// refused silently), warns about an opaque white background, and shows the
// page as a thumbnail.

#include <QLabel>
#include <QPointer>
#include <QWidget>

class QMimeData;

namespace quillary {

class CircleView;
class TemplateImageView;

class TemplateImageViewContainer : public QWidget {
    Q_OBJECT
public:
    explicit TemplateImageViewContainer(int tag, QWidget* parent = nullptr);

    int tag() const { return slotTag; }
    // The slot's round button.
    void setButton(CircleView* button);
    CircleView* button() const;

    // Path of the last page file dropped on this slot.
    QString filePath;
    // The only file extension a drop accepts (case counts).
    QString expectedExt = QStringLiteral("pdf");
    // The thumbnail of the page shown (hidden while the slot is empty).
    TemplateImageView* tbi = nullptr;
    // The hint shown on an empty slot.
    QLabel* dragAndDropText = nullptr;

    // Whether a drop of path is taken: the extension, then the page format.
    bool acceptsDrop(const QString& path) const;
    // Shows page 1 of path and marks the slot filled. A file that does not
    // exist leaves the slot as it was (false).
    bool showPage(const QString& path);
    // Removes the thumbnail.
    void removeThumbnail();
    bool showsPage() const;

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

signals:
    // A page was dropped: the slot's source is now path.
    void sourceChanged(int tag, const QString& path);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void layOutThumbnail();
    void setDragHighlight(bool on);

    int slotTag;
    QPointer<CircleView> circle;
    QSize pageSize; // points of the page shown
    bool dragHighlight = false;
};

// The first local file of a drag, or empty.
QString firstDraggedFile(const QMimeData* mime);

} // namespace quillary
