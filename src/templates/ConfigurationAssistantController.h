#pragma once

// The configuration assistant: a name and three page slots (start page,
// continuation page, terms page) for a new template or an existing one. It
// writes nothing itself: its segue "check" validates the input and hands the
// edit, as a value, to whoever shows the loading screen.
//
// Which template it edits is taken once, when it is created (from
// SharedData::templateName and isNewTemplate, set by the main view); nothing
// that happens elsewhere afterwards redirects its save to another template.

#include "store/CustomFileManager.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class QAbstractButton;
class QLabel;
class QLineEdit;

namespace Ui {
class ConfigurationAssistantController;
}

namespace quillary {

class CircleView;
class TemplateImageViewContainer;

class ConfigurationAssistantController : public QWidget {
    Q_OBJECT
public:
    explicit ConfigurationAssistantController(QWidget* parent = nullptr);
    ~ConfigurationAssistantController() override;

    TemplateImageViewContainer* startController = nullptr;
    TemplateImageViewContainer* continualController = nullptr;
    TemplateImageViewContainer* agbController = nullptr;
    QAbstractButton* configureButton = nullptr;
    QLineEdit* templateNameField = nullptr;

    // The slot of a tag (1, 2, 3), or nullptr.
    TemplateImageViewContainer* slotContainer(int tag) const;
    CircleView* slotButton(int tag) const;

    // The template being edited; empty for a new one.
    QString editedName() const { return current.editedName; }
    bool isNewTemplate() const { return current.isNew; }
    // The page source of a slot: "" none, "existing" keep, or a chosen path.
    QString source(PageKind kind) const { return current.source(kind); }
    // What the save procedure gets: the input as it stands.
    TemplateEdit edit() const;

    // The name or a page differs from what the assistant opened with.
    bool hasUnsavedChanges() const;
    // The file a slot's page comes from: the chosen PDF, the stored page of
    // the edited template ("existing"), or empty.
    QString pageFile(PageKind kind) const;
    // The first page whose paper format differs from the start page's, with
    // both formats' names; nothing when they agree (or a page is missing).
    struct FormatMismatch {
        PageKind kind;
        QString startFormat, otherFormat;
    };
    std::optional<FormatMismatch> formatMismatch() const;

    // The segue "check": validates the input (alerts on the first failing
    // check) and, when it passes, hands the edit on through confirmed().
    bool check();
    // The validation alone, in its order: name, duplicate name, start page,
    // then (asking) pages of different paper formats.
    bool shouldPerformSegue(const QString& identifier);

    // The keyboard stops in visual order: name, the three slot buttons,
    // help, then the save button.
    QList<QWidget*> tabChain() const;

    // Help: asks for the manual.
    void playVideo();

signals:
    // The input passed the checks: show the loading screen, which saves it.
    void confirmed(const quillary::TemplateEdit& edit);
    void helpRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void viewDidLoad();
    void buildSlot(QWidget* host, int tag);
    void loadPagesOfEditedTemplate();
    void setSource(int tag, const QString& source);

    std::unique_ptr<::Ui::ConfigurationAssistantController> ui;
    TemplateEdit current;
    // What the assistant showed when it opened, to tell edits from it.
    std::array<QString, 3> openedSources;
    bool appeared = false;
};

} // namespace quillary
