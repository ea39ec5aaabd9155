#pragma once

// The save panel's accessory: a user password, a ban on printing and copying
// with an owner password, title and author, and what to do with the file once
// it is saved (open it, attach it to a new mail).

#include "pdf/SaveOptions.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace quillary {

class SavePanelView : public QWidget {
    Q_OBJECT
public:
    explicit SavePanelView(QWidget* parent = nullptr);

    // The output options of the controls: WITH_PASSWORD, ALLOW_PRINT,
    // PASSWORD, OWNER_PASSWORD, AUTHOR, TITLE, texts as typed.
    SaveOptionsMap collectOptions();
    SaveOptionsMap dic;

    // One line under the options when the saved file will not be PDF/A
    // although the document is: the first reason the engine gives (see
    // pdf/PdfaOutlook.h). Hidden when reasons is empty.
    void showPdfaLoss(const QStringList& reasons);
    QLabel* pdfaNote;

    // What is wrong with the passwords as they stand (the writer's own
    // preparation and rules), said beside the field at fault; empty when
    // they can be used. Kept up to date as the user types; the panel's
    // "acceptable" property follows it, and a save dialog does not close
    // while it is false.
    QString passwordProblem() const { return problem; }

    QLineEdit* passwordField;
    QCheckBox* pwBox;          // on: the file opens only with the password
    QCheckBox* allowPrintBox;  // on: printing and copying NOT allowed
    QLineEdit* passwordfieldowner;
    QLineEdit* pdfTitle;
    QLineEdit* pdfAuthor;
    QCheckBox* openPDFBox;     // open the saved file afterwards
    QCheckBox* openMailBox;    // attach it to a new mail afterwards
    QLabel* userProblem;       // beside passwordField
    QLabel* ownerProblem;      // beside passwordfieldowner

private:
    void checkPasswords();
    QString problem;
};

} // namespace quillary
