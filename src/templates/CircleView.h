#pragma once

// The round button of a page slot: "button_plus" on an empty slot (a click
// opens the open panel), "button" on a filled one (a click empties it).

#include <QAbstractButton>
#include <QPointer>
#include <QVariantMap>

namespace quillary {

class TemplateImageViewContainer;

// The state of a page slot.
enum class PreviewState { IMAGE_IN, EMPTY };

class CircleView : public QAbstractButton {
    Q_OBJECT
public:
    // Registers itself as the slot button of its tag (1 start page,
    // 2 continuation page, 3 terms page).
    explicit CircleView(int tag, QWidget* parent = nullptr);

    int tag() const { return slotTag; }
    PreviewState state() const { return previewState; }
    void setState(PreviewState state);
    // "button_plus", "button" or "X_button".
    QString imageName() const { return image; }
    void setImageName(const QString& name);

    // The drop target of the same slot.
    void setContainer(TemplateImageViewContainer* container);
    TemplateImageViewContainer* container() const;

    QSize sizeHint() const override;

    // A click on the button itself: empties a filled slot, or lets the user
    // choose a file, which is checked for its paper format and background.
    void mouseDown();
    // A click forwarded by a guide's click catcher ("circleView1".."3"): as
    // mouseDown, but a chosen file is taken unchecked. userInfo holds "tag"
    // (the slot) and "window" (to open the panel over).
    void notClickedWithNotification(const QVariantMap& userInfo);

    // Empties the slot of the tag.
    void clearSlot(int tag);
    // The open panel for the slot of the tag, over window.
    void chooseFile(bool checkPage, QWidget* window, int tag);

signals:
    // The slot's page source changed: "" (emptied) or the chosen file's path.
    void sourceChanged(int tag, const QString& source);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void updateAccessibleName();

    int slotTag;
    PreviewState previewState = PreviewState::EMPTY;
    QString image = QStringLiteral("button_plus");
    QPointer<TemplateImageViewContainer> slotContainer;
    bool hovered = false;
};

// The slot label of a tag for messages and accessible names: "start page", ...
QString slotName(int tag);

} // namespace quillary
