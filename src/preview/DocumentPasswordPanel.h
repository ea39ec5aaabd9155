#pragma once

// Shown in place of the page strip while the printed document is locked: a
// password field, a button that tries it, and the reason a try failed. The
// window tries the password against the document; a wrong one leaves the
// panel up, emptied, for the next try.

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quillary {

class DocumentPasswordPanel : public QWidget {
    Q_OBJECT
public:
    explicit DocumentPasswordPanel(QWidget* parent = nullptr);

    // Names the document in the panel's request.
    void setDocumentName(const QString& name);
    // The last try did not open the document: says why, empties the field
    // and puts the cursor back in it.
    void refuse(const QString& why);
    QString problem() const;

    QLabel* request;
    QLineEdit* passwordField;
    QPushButton* openButton;
    QLabel* problemLabel;

signals:
    // The user asked to open the document with this password.
    void passwordEntered(const QString& password);
};

} // namespace quillary
