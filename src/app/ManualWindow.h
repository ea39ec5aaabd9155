#pragma once

// A short manual: what templates are, how to make one, how to print with it,
// shifting the content, passwords, the command-line tool, and what to do
// when no template fits a document.

#include <QDialog>

class QTextBrowser;

namespace quillary {

class ManualWindow : public QDialog {
    Q_OBJECT
public:
    explicit ManualWindow(QWidget* parent = nullptr);

    QTextBrowser* textView() const { return text; }
    // The manual in the interface language, as HTML.
    static QString html();

private:
    QTextBrowser* text = nullptr;
};

} // namespace quillary
