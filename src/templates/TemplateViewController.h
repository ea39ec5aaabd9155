#pragma once

// The template list: one row of 130 points per stored template, in the
// store's order, with its start page, name, last change, paper format, an
// enable switch and a layer switch. The list adds, deletes and switches
// templates through the store and shows, after every change, what the store
// holds. It tells its delegate which template to open in the assistant.

#include "store/TemplateRecord.h"
#include "templates/TemplateRowView.h"

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

class TemplateViewControllerDelegate {
public:
    virtual ~TemplateViewControllerDelegate() = default;
    // An empty name with isNewTemplate true asks for a new template.
    virtual void templateViewControllerWithSelectedRowName(const QString& name, bool isNewTemplate) = 0;
    // Asked before the list opens another template or a new one: false keeps
    // the current one (the user chose to stay with unsaved changes).
    virtual bool templateViewControllerMayLeaveCurrentTemplate() { return true; }
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

    // The list's keyboard stops in visual order: the list itself (arrow keys
    // choose a row), each row's switches, then + and -.
    QList<QWidget*> tabChain() const;

signals:
    // The hidden counter image was clicked.
    void imageClicked();
    // Rows came or went: the keyboard order needs them.
    void rowsChanged();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void viewDidAppear();
    void highlight(int row, bool on);
    void tellDelegate(const QString& name, bool isNew);
    bool delegateMayLeave();
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

// The paper format a row shows for a stored "docFormat".
QString formatLabelFor(const QString& docFormat);

} // namespace quillary
