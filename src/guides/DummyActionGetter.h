#pragma once

// Click catchers: invisible buttons laid over a picture of a page slot in the
// guide. A mouse press (or a press from the keyboard or an assistive tool)
// posts "circleView1", "circleView2" or "circleView3" with the slot's "tag"
// and the "window" of the view under the catcher; the assistant's slot
// button of that tag then opens its file panel there (or empties the slot).

#include <QAbstractButton>
#include <QColor>

namespace quillary {

class DummyActionGetter : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(qreal borderWidth MEMBER borderWidth)
    Q_PROPERTY(QColor backgroundColor MEMBER backgroundColor)
    Q_PROPERTY(QColor borderColor MEMBER borderColor)
    Q_PROPERTY(qreal cornerRadius MEMBER cornerRadius)
    Q_PROPERTY(QColor shadowColor MEMBER shadowColor)
    Q_PROPERTY(qreal shadowRadius MEMBER shadowRadius)
    Q_PROPERTY(qreal shadowOpacity MEMBER shadowOpacity)
public:
    explicit DummyActionGetter(QWidget* parent = nullptr);

    qreal borderWidth = 0;
    QColor backgroundColor = Qt::transparent;
    QColor borderColor = Qt::transparent;
    qreal cornerRadius = 0;
    QColor shadowColor = Qt::transparent;
    qreal shadowRadius = 0;
    qreal shadowOpacity = 0;

    // 1 start page, 2 continuation page, 3 terms page.
    virtual int slotTag() const { return 1; }
    QString notificationName() const { return QStringLiteral("circleView%1").arg(slotTag()); }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

    // Names itself after its slot; the subclasses call it once their tag is known.
    void describe();

private:
    void post();

    bool hovered = false;
};

class DummyActionGetterSecond : public DummyActionGetter {
    Q_OBJECT
public:
    explicit DummyActionGetterSecond(QWidget* parent = nullptr);
    int slotTag() const override { return 2; }
};

class DummyActionGetterThird : public DummyActionGetter {
    Q_OBJECT
public:
    explicit DummyActionGetterThird(QWidget* parent = nullptr);
    int slotTag() const override { return 3; }
};

} // namespace quillary
