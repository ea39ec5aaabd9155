#include "preview/SavePanelView.h"

#include "pdf/Password.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace quillary {

SavePanelView::SavePanelView(QWidget* parent)
    : QWidget(parent)
{
    setAccessibleName(tr("PDF options"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 8, 0, 0);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    // Object names are the controls' own names, for tests and style sheets.
    auto field = [this](const char* objectName, const QString& name, bool secret) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(objectName));
        edit->setAccessibleName(name);
        if (secret)
            edit->setEchoMode(QLineEdit::Password);
        return edit;
    };
    auto box = [this](const char* objectName, const QString& text) {
        auto* check = new QCheckBox(text, this);
        check->setObjectName(QLatin1String(objectName));
        check->setAccessibleName(text);
        return check;
    };
    auto caption = [this](const QString& text, QWidget* buddy) {
        auto* label = new QLabel(text, this);
        label->setBuddy(buddy);
        return label;
    };

    pwBox = box("pwBox", tr("Protect with a password"));
    passwordField = field("passwordField", tr("Password"), true);
    allowPrintBox = box("allowPrintBox", tr("Do not allow printing and copying"));
    passwordfieldowner = field("passwordfieldowner", tr("Owner password"), true);
    pdfTitle = field("pdfTitle", tr("Title"), false);
    pdfAuthor = field("pdfAuthor", tr("Author"), false);
    openPDFBox = box("openPDFBox", tr("Open PDF after saving"));
    openMailBox = box("openMailBox", tr("Attach to a new mail"));

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    grid->addWidget(line, 0, 0, 1, 4);

    grid->addWidget(pwBox, 1, 0, 1, 2);
    grid->addWidget(caption(tr("Password:"), passwordField), 2, 0);
    grid->addWidget(passwordField, 2, 1);
    grid->addWidget(allowPrintBox, 1, 2, 1, 2);
    grid->addWidget(caption(tr("Owner password:"), passwordfieldowner), 2, 2);
    grid->addWidget(passwordfieldowner, 2, 3);
    auto problemLabel = [this](const char* objectName) {
        auto* label = new QLabel(this);
        label->setObjectName(QLatin1String(objectName));
        label->setWordWrap(true);
        QPalette warning = label->palette();
        warning.setColor(QPalette::WindowText, QColor(0xc0, 0x1c, 0x28));
        label->setPalette(warning);
        label->hide();
        return label;
    };
    userProblem = problemLabel("userProblem");
    ownerProblem = problemLabel("ownerProblem");
    grid->addWidget(userProblem, 3, 0, 1, 2);
    grid->addWidget(ownerProblem, 3, 2, 1, 2);
    grid->addWidget(caption(tr("Title:"), pdfTitle), 4, 0);
    grid->addWidget(pdfTitle, 4, 1);
    grid->addWidget(caption(tr("Author:"), pdfAuthor), 4, 2);
    grid->addWidget(pdfAuthor, 4, 3);
    grid->addWidget(openPDFBox, 5, 0, 1, 2);
    grid->addWidget(openMailBox, 5, 2, 1, 2);
    pdfaNote = new QLabel(this);
    pdfaNote->setObjectName(QStringLiteral("pdfaNote"));
    pdfaNote->setWordWrap(true);
    pdfaNote->hide();
    grid->addWidget(pdfaNote, 6, 0, 1, 4);

    // A password field is only for typing while its box is on; what it holds
    // is still handed on as it stands.
    passwordField->setEnabled(false);
    passwordfieldowner->setEnabled(false);
    connect(pwBox, &QCheckBox::toggled, passwordField, &QWidget::setEnabled);
    connect(allowPrintBox, &QCheckBox::toggled, passwordfieldowner, &QWidget::setEnabled);
    for (QCheckBox* check : {pwBox, allowPrintBox})
        connect(check, &QCheckBox::toggled, this, &SavePanelView::checkPasswords);
    for (QLineEdit* edit : {passwordField, passwordfieldowner})
        connect(edit, &QLineEdit::textChanged, this, &SavePanelView::checkPasswords);
    checkPasswords();
}

void SavePanelView::checkPasswords()
{
    const SaveOptionsMap options{{SaveOptions::WITH_PASSWORD, pwBox->isChecked()},
                                 {SaveOptions::ALLOW_PRINT, !allowPrintBox->isChecked()},
                                 {SaveOptions::PASSWORD, passwordField->text()},
                                 {SaveOptions::OWNER_PASSWORD, passwordfieldowner->text()}};
    const PreparedPasswords checked = preparePasswords(options);
    problem.clear();
    if (!checked.ok()) {
        switch (checked.rule) {
        case PasswordRule::Missing: problem = tr("Enter a password, or turn the protection off."); break;
        case PasswordRule::Character:
            problem = tr("A password cannot hold control characters or other invisible codes.");
            break;
        case PasswordRule::Direction:
            problem = tr("A password cannot mix right-to-left and left-to-right text.");
            break;
        case PasswordRule::OnlyDropped: problem = tr("This password holds only characters that are left out."); break;
        case PasswordRule::TooLong:
            problem = tr("This password is too long: at most %1 bytes are kept.").arg(kMaxPasswordBytes);
            break;
        case PasswordRule::SameAsUser: problem = tr("The owner password must differ from the password."); break;
        case PasswordRule::None:
        case PasswordRule::Other: problem = tr("This password cannot be used."); break;
        }
    }
    const bool owner = !problem.isEmpty() && checked.refused == PasswordRole::Owner;
    userProblem->setText(owner ? QString() : problem);
    userProblem->setVisible(!problem.isEmpty() && !owner);
    ownerProblem->setText(owner ? problem : QString());
    ownerProblem->setVisible(owner);
    setProperty("acceptable", problem.isEmpty());
}

void SavePanelView::showPdfaLoss(const QStringList& reasons)
{
    if (reasons.isEmpty()) {
        pdfaNote->hide();
        return;
    }
    pdfaNote->setText(tr("This invoice will no longer be a valid PDF/A e-invoice: %1").arg(reasons.first()));
    pdfaNote->setAccessibleName(pdfaNote->text());
    pdfaNote->show();
}

SaveOptionsMap SavePanelView::collectOptions()
{
    dic.insert(SaveOptions::WITH_PASSWORD, pwBox->isChecked());
    dic.insert(SaveOptions::ALLOW_PRINT, !allowPrintBox->isChecked());
    dic.insert(SaveOptions::PASSWORD, passwordField->text());
    dic.insert(SaveOptions::OWNER_PASSWORD, passwordfieldowner->text());
    dic.insert(SaveOptions::AUTHOR, pdfAuthor->text());
    dic.insert(SaveOptions::TITLE, pdfTitle->text());
    return dic;
}

} // namespace quillary
