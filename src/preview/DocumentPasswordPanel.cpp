#include "preview/DocumentPasswordPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillary {

DocumentPasswordPanel::DocumentPasswordPanel(QWidget* parent)
    : QWidget(parent)
{
    setAccessibleName(tr("Document password"));
    request = new QLabel(this);
    request->setWordWrap(true);
    request->setAlignment(Qt::AlignCenter);
    passwordField = new QLineEdit(this);
    passwordField->setObjectName(QStringLiteral("documentPassword"));
    passwordField->setEchoMode(QLineEdit::Password);
    passwordField->setAccessibleName(tr("Password of the document"));
    passwordField->setMinimumWidth(220);
    request->setBuddy(passwordField);
    openButton = new QPushButton(tr("Open"), this);
    openButton->setAccessibleName(tr("Open the document"));
    openButton->setEnabled(false);
    problemLabel = new QLabel(this);
    problemLabel->setAlignment(Qt::AlignCenter);
    problemLabel->setWordWrap(true);
    problemLabel->setAccessibleName(tr("Password problem"));
    QPalette warning = problemLabel->palette();
    warning.setColor(QPalette::WindowText, QColor(0xc0, 0x1c, 0x28));
    problemLabel->setPalette(warning);
    problemLabel->hide();

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(passwordField);
    row->addWidget(openButton);
    row->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 12, 24, 12);
    layout->addStretch(1);
    layout->addWidget(request);
    layout->addLayout(row);
    layout->addWidget(problemLabel);
    layout->addStretch(1);

    setFocusProxy(passwordField);
    connect(passwordField, &QLineEdit::textChanged, this, [this](const QString& text) {
        openButton->setEnabled(!text.isEmpty());
    });
    auto submit = [this] {
        if (!passwordField->text().isEmpty())
            emit passwordEntered(passwordField->text());
    };
    connect(passwordField, &QLineEdit::returnPressed, this, submit);
    connect(openButton, &QPushButton::clicked, this, submit);
}

void DocumentPasswordPanel::setDocumentName(const QString& name)
{
    request->setText(tr("“%1” is protected by a password. Enter it to open the document:").arg(name));
}

void DocumentPasswordPanel::refuse(const QString& why)
{
    problemLabel->setText(why);
    problemLabel->setVisible(!why.isEmpty());
    passwordField->clear();
    passwordField->setFocus();
}

QString DocumentPasswordPanel::problem() const
{
    return problemLabel->isVisible() ? problemLabel->text() : QString();
}

} // namespace quillary
