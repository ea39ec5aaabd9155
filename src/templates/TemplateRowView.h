#pragma once

// One row of the template list: the start page, the name, the last change,
// the paper format and the two switches, on a background that shows the
// selection.

#include "controls/TemplateSelectionOverlay.h"
#include "controls/ToggleSwitch.h"
#include "store/TemplateRecord.h"

#include <QLocale>
#include <QSizeF>

#include <optional>

class QLabel;

namespace quillary {

class TemplateViewController;

// The background of a row: lit while the pointer is on it, and filled with
// the palette's selection colour while selected.
class DesignableView : public TemplateSelectionOverlay {
    Q_OBJECT
public:
    explicit DesignableView(QWidget* parent = nullptr);
    void setSelected(bool selected);
    bool isSelected() const { return selected; }
    // What the row is filled with: the selection colour, or transparent.
    QColor backgroundColor() const;
    // The selection fill for a palette: its highlight softened over its
    // base, opaque, so that the texts on it can be measured against it.
    static QColor selectionColor(const QPalette& palette);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    // The palette or the selection changed.
    virtual void coloursChanged() {}

private:
    void followPalette();

    bool selected = false;
};

// The switches of a row know the row they belong to.
class ActiveSwitch : public ToggleSwitch {
    Q_OBJECT
public:
    using ToggleSwitch::ToggleSwitch;
    std::optional<int> rowTag;
};

class LayerSwitch : public ToggleSwitch {
    Q_OBJECT
public:
    using ToggleSwitch::ToggleSwitch;
    std::optional<int> rowTag;
};

// One row of the list: thumbnail, texts and switches on a DesignableView.
class TemplateRowView : public DesignableView {
    Q_OBJECT
public:
    TemplateRowView(TemplateViewController* list, QWidget* parent);

    void fill(int row, const TemplateRecord& record);
    // Selects this row as a click on it does.
    void select();
    QString name() const { return templateName; }
    ActiveSwitch* activeSwitch() const { return active; }
    LayerSwitch* layerSwitch() const { return layer; }
    QLabel* nameField() const { return nameLabel; }
    QLabel* dateField() const { return dateLabel; }
    QLabel* formatField() const { return formatLabel; }
    QString thumbnailPath() const { return startPage; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void coloursChanged() override;
    void paintEvent(QPaintEvent* event) override;

private:
    friend class RowThumbnail;
    void elideName();

    TemplateViewController* list;
    int row = 0;
    QString templateName;
    QString startPage;
    std::optional<QSizeF> startPageSize;
    QWidget* thumbnail = nullptr;
    QLabel* nameLabel = nullptr;
    QLabel* dateLabel = nullptr;
    QLabel* formatLabel = nullptr;
    ActiveSwitch* active = nullptr;
    LayerSwitch* layer = nullptr;
    QLabel* activeCaption = nullptr;
    QLabel* layerCaption = nullptr;
};

// The widget holding the rows: a list to assistive technology.
class TemplateRowsHost : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};

// The stored "Created dd.MM.yy" / "Updated dd.MM.yy" as the user reads it:
// in the interface language, the date in locale's short format. Anything
// else is shown as stored.
QString shownChangeLabel(const QString& stored, const QLocale& locale);

} // namespace quillary
