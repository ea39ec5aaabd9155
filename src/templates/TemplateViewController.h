#pragma once

// The template list: one row of 130 points per stored template, in the
// store's order, with its start page, name, last change, paper format, an
// enable switch and a layer switch. The list adds, deletes and switches
// templates through the store and shows, after every change, what the store
// holds. It tells its delegate which template to open in the assistant.

#include "controls/TemplateSelectionOverlay.h"
#include "controls/ToggleSwitch.h"
#include "store/TemplateRecord.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

namespace quillary {

class TemplateRowView;

class TemplateViewControllerDelegate {
public:
    virtual ~TemplateViewControllerDelegate() = default;
    // An empty name with isNewTemplate true asks for a new template.
    virtual void templateViewControllerWithSelectedRowName(const QString& name, bool isNewTemplate) = 0;
};

// The background of a row: lit while the pointer is on it, and in a settable
// colour that shows the selection.
class DesignableView : public TemplateSelectionOverlay {
    Q_OBJECT
public:
    explicit DesignableView(QWidget* parent = nullptr);
    void setBackgroundColor(const QColor& color);
    QColor backgroundColor() const { return background; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void followPalette();

    QColor background = Qt::transparent;
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

class TemplateViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr int RowHeight = 130;

    explicit TemplateViewController(QWidget* parent = nullptr);
    ~TemplateViewController() override;

    TemplateViewControllerDelegate* delegate = nullptr;
    // The row regarded as selected: the one a deletion removes.
    int lastSelectedRow = 0;
    // The rows' data: the store's template list as last read.
    QList<TemplateRecord> templateProperties;

    int numberOfRows() const { return int(templateProperties.size()); }
    // The row view of a row (nullptr out of range), for tests and tools.
    TemplateRowView* rowView(int row) const;
    QScrollArea* tableView() const { return scroll; }
    QToolButton* addTemplateButton() const { return addButton; }

    // Reads the list from the store and refills the rows.
    void reloadData();
    // Selects a row as a click on it does: highlight, then the delegate.
    void selectRow(int row);

    // Actions.
    void addPatternWithSender(QObject* sender = nullptr);
    void deletePatternWithSender(QObject* sender = nullptr);
    void activateTemplateWithActiveSwitch(ActiveSwitch* sender);
    void switchLayerWithLayerBack(LayerSwitch* sender);

signals:
    // The hidden counter image was clicked.
    void imageClicked();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void viewDidAppear();
    void highlight(int row, bool on);
    void tellDelegate(const QString& name, bool isNew);
    // Stores a changed record of a row and reads the list back.
    void storeSwitch(std::optional<int> row, const std::function<void(TemplateRecord&)>& change);
    void updateEmptyState();

    QScrollArea* scroll = nullptr;
    QWidget* rowsHost = nullptr;
    QVBoxLayout* rowsLayout = nullptr;
    QList<TemplateRowView*> rows;
    QLabel* emptyLabel = nullptr;
    QToolButton* addButton = nullptr;
    QToolButton* deleteButton = nullptr;
    // The row drawn as selected, if any.
    std::optional<int> highlightedRow;
    bool appeared = false;
};

// One row of the list: thumbnail, texts and switches on a DesignableView.
class TemplateRowView : public DesignableView {
    Q_OBJECT
public:
    TemplateRowView(TemplateViewController* list, QWidget* parent);

    void fill(int row, const TemplateRecord& record);
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
};

// The paper format a row shows for a stored "docFormat".
QString formatLabelFor(const QString& docFormat);

} // namespace quillary
