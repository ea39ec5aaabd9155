#pragma once

// A Ui for tests: records every dialog and outside effect the code asks for
// and answers from a script. Constructing one installs it; destroying it puts
// back what was installed before, so a test cannot leak it into the next.
// With no scripted reply left, a dialog answers as if the user cancelled
// (an alert is simply acknowledged).

#include "platform/Ui.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>

class RecordingUi : public quillary::Ui {
public:
    struct Call {
        // "alert", "confirm", "ask to save", "open panel", "save panel", "print dialog",
        // "open file", "mail", "start", "exit"
        QString kind;
        QString title;       // alert/confirm title, open panel title, proposed save name
        QString text;        // alert/confirm text
        QStringList arguments; // confirm buttons, open panel suffixes, file or program and arguments, exit status
        // An alert's kind: "information", "warning", "error".
        QString level = {};
    };

    RecordingUi();
    ~RecordingUi() override;
    RecordingUi(const RecordingUi&) = delete;
    RecordingUi& operator=(const RecordingUi&) = delete;

    // --- the script ---
    std::deque<bool> confirmReplies;
    // Answers to "save your changes first?"; none left: the user stays.
    std::deque<quillary::SaveChoice> saveChoiceReplies;
    std::deque<std::optional<QString>> openReplies;
    // Gets the accessory (to tick its boxes and fill its fields as a user
    // would) and answers with the chosen path or nothing (cancel).
    std::deque<std::function<std::optional<QString>(QWidget* accessory)>> saveReplies;
    // Gets the printer (to point it at a PDF file, say) and answers whether
    // printing goes ahead.
    std::deque<std::function<bool(QPrinter& printer)>> printReplies;
    bool openFileSucceeds = true;
    bool mailSucceeds = true;

    // --- what happened ---
    QList<Call> calls;
    std::optional<int> exitStatus;

    QStringList kinds() const;
    QList<Call> callsOf(const QString& kind) const;
    // "title|text" of every alert, in order.
    QStringList alerts() const;
    void clear() { calls.clear(); exitStatus.reset(); }

    void alert(QWidget* parent, const QString& title, const QString& text,
               quillary::AlertKind kind = quillary::AlertKind::Information) override;
    bool confirm(QWidget* parent, const QString& title, const QString& text, const QString& acceptLabel,
                 const QString& cancelLabel) override;
    quillary::SaveChoice askToSave(QWidget* parent, const QString& title, const QString& text) override;
    std::optional<QString> chooseFileToOpen(QWidget* parent, const QString& title,
                                            const QStringList& suffixes) override;
    std::optional<QString> chooseSaveFile(QWidget* parent, const QString& proposedName,
                                          QWidget* accessory) override;
    bool choosePrinter(QWidget* parent, QPrinter& printer) override;
    bool openFile(const QString& path) override;
    bool mailFile(const QString& path) override;
    bool startDetached(const QString& program, const QStringList& arguments) override;
    void exitProcess(int status) override;

private:
    quillary::Ui* previous = nullptr;
};
