#pragma once

// The offset editor: shifts the document's content against the stationery of
// one page kind (the start page or the continuation pages) and puts the
// stationery behind or over the content. It shows one document page merged
// with its stationery, live, and reports the result to its delegate when the
// user accepts. The one-page file it is given (inputPath) is deleted when the
// editor closes, however it closes.

#include "controls/OnlyIntegerValueFormatter.h"
#include "pdf/PageGeometry.h"

#include <QDialog>
#include <QImage>
#include <QSet>
#include <QThreadPool>

#include <optional>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace quillary {

class RulerView;
class Stepper;

class EditViewControllerDelegate {
public:
    virtual ~EditViewControllerDelegate() = default;
    // stationeryIsOverlay: stationery over the content; x, y: PDF points,
    // x to the right, y upwards.
    virtual void didAcceptOffset(bool stationeryIsOverlay, double x, double y) = 0;
};

class EditViewcontroller : public QDialog {
    Q_OBJECT
public:
    explicit EditViewcontroller(QWidget* parent = nullptr);
    ~EditViewcontroller() override;

    // --- set by the caller before the editor is shown ---
    EditViewControllerDelegate* delegate = nullptr;
    double xOffset = 0; // points, positive: right
    double yOffset = 0; // points, positive: up
    // The stationery of the page kind edited; empty: none (the layer box is off).
    QString overlayPath;
    // A one-page PDF with the document page edited; deleted on close.
    std::optional<QString> inputPath;
    // Paper format of the document for the preview's page size.
    std::uint8_t documentFormat = FormatUndefined;

    // --- the controls ---
    QLineEdit* xField;  // tag 2
    QLineEdit* yField;  // tag 1
    Stepper* xStepper;  // tag 3
    Stepper* yStepper;  // tag 4
    QCheckBox* stationaryBehindContent;
    QCheckBox* helpLines;
    QPushButton* acceptButton;
    QPushButton* cancelButton;
    RulerView* left;
    RulerView* right;
    RulerView* up;
    RulerView* down;

    // Reads the field into its offset and refreshes the preview; an empty
    // field or one that is no number gets its offset's text back.
    void applyField(QLineEdit* field);
    void steppertriggeredWithSender(int tag, int direction);
    void stationaryCheckboxClickedWithSender();
    void helpLinesWithSender();
    void acceptOffsetWithSender();
    // Merges the page afresh with the current offsets and layer and shows it.
    void refreshPreview();

    // The preview image and where it is drawn (in the preview area).
    QImage previewImage() const { return pageImage; }
    QRectF pageFrame() const;
    QWidget* previewArea() const;

    // Millimetres shown per stepper click.
    static constexpr double kStep = 0.5;
    // The largest offset a field takes, in millimetres either way.
    static constexpr double kLimit = 500;

    void done(int result) override;

signals:
    // A preview merge finished and is shown (also when it failed: null image).
    void previewRefreshed();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class PageArea;
    void finishPreview(quint64 generation, const QString& scratch, const QImage& image);
    void deleteInput();
    void placeHelpLines();
    double offsetFor(const QLineEdit* field) const;
    QString millimetres(double points) const;

    OnlyIntegerValueFormatter* formatter;
    PageArea* area;
    QImage pageImage;
    QThreadPool pool;
    quint64 generation = 0;
    QSet<QString> outstanding; // preview scratch files of merges still running
    bool appeared = false;
};

} // namespace quillary
