#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QPrinter;
class QWidget;

namespace quillary {

// What an alert reports: its icon says so before a word is read.
enum class AlertKind { Information, Warning, Error };

// The answer to "save your changes first?".
enum class SaveChoice { Save, Discard, Cancel };

// Every modal interaction and every effect outside the process goes through
// here, so that tests install a recording fake and never block on a real
// dialog, open a real file or end the test process. Main thread only.
class Ui {
public:
    virtual ~Ui() = default;

    // A modal alert with one "OK" button: the title bold above the text, the
    // icon of its kind.
    virtual void alert(QWidget* parent, const QString& title, const QString& text,
                       AlertKind kind = AlertKind::Information) = 0;
    // A modal question with two buttons, warning style: true when the user
    // chose acceptLabel (the first button), false for cancelLabel or closing.
    virtual bool confirm(QWidget* parent, const QString& title, const QString& text,
                         const QString& acceptLabel, const QString& cancelLabel) = 0;
    // Unsaved changes are about to be left: save them, throw them away, or
    // stay. Closing the question stays.
    virtual SaveChoice askToSave(QWidget* parent, const QString& title, const QString& text) = 0;
    // The open panel for one existing file whose name ends in one of the
    // suffixes (exactly, without the dot: "pdf"). Nothing when cancelled.
    virtual std::optional<QString> chooseFileToOpen(QWidget* parent, const QString& title,
                                                    const QStringList& suffixes) = 0;
    // The save panel with the proposed file (a name in the user's documents
    // folder, or an absolute path) and accessory shown below it (the caller
    // keeps it and reads its controls afterwards). While the accessory's
    // "acceptable" property is false the panel does not close with OK. The
    // panel asks before replacing a file. Nothing when cancelled.
    virtual std::optional<QString> chooseSaveFile(QWidget* parent, const QString& proposedName,
                                                  QWidget* accessory) = 0;
    // The print dialog on printer: the user picks printer, copies and pages.
    // True when printing should go ahead with printer as set up.
    virtual bool choosePrinter(QWidget* parent, QPrinter& printer) = 0;

    // Opens a file with the desktop's default application for it, never with
    // Quillary itself; false when there is no other.
    virtual bool openFile(const QString& path) = 0;
    // Hands a file to the mail program as an attachment of a new mail; false
    // when there is none.
    virtual bool mailFile(const QString& path) = 0;
    // Starts a program detached from this process.
    virtual bool startDetached(const QString& program, const QStringList& arguments) = 0;
    // Ends the process with the status once control returns to the event
    // loop: callers return right after.
    virtual void exitProcess(int status) = 0;

    // The installed implementation (the real one unless a test installed a fake).
    static Ui& instance();
    // Installs an implementation and returns the one it replaces (nullptr for
    // the real one); the caller keeps ownership. nullptr restores the real one.
    static Ui* install(Ui* ui);
};

// The mail hand-off: "open -a Mail.app FILE" on macOS, "xdg-email --attach
// FILE" elsewhere.
struct ProgramCall {
    QString program;
    QStringList arguments;
};
ProgramCall mailCommand(const QString& path);

// The real implementation: Qt's dialogs, QDesktopServices, QProcess.
class DesktopUi : public Ui {
public:
    void alert(QWidget* parent, const QString& title, const QString& text,
               AlertKind kind = AlertKind::Information) override;
    bool confirm(QWidget* parent, const QString& title, const QString& text, const QString& acceptLabel,
                 const QString& cancelLabel) override;
    SaveChoice askToSave(QWidget* parent, const QString& title, const QString& text) override;
    std::optional<QString> chooseFileToOpen(QWidget* parent, const QString& title,
                                            const QStringList& suffixes) override;
    std::optional<QString> chooseSaveFile(QWidget* parent, const QString& proposedName,
                                          QWidget* accessory) override;
    bool choosePrinter(QWidget* parent, QPrinter& printer) override;
    bool openFile(const QString& path) override;
    bool mailFile(const QString& path) override;
    bool startDetached(const QString& program, const QStringList& arguments) override;
    void exitProcess(int status) override;
};

} // namespace quillary
