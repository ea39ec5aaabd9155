#include "app/ManualWindow.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace quillary {

ManualWindow::ManualWindow(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Quillary Manual"));
    setAccessibleName(windowTitle());
    auto* text = new QTextBrowser(this);
    text->setOpenExternalLinks(false);
    text->setAccessibleName(tr("Manual"));
    text->setHtml(tr("<h2>Your stationery on every document</h2>"
                     "<p>A <b>template</b> holds up to three one-page PDF files: the <b>start page</b> is laid on "
                     "page 1 of a document, the <b>continuation page</b> on every further page, and the "
                     "<b>terms page</b> is appended after the last page.</p>"
                     "<h3>Making a template</h3>"
                     "<p>Click <b>+</b> below the list, drop your letterhead PDF on the start page (or click the "
                     "round button under it to choose a file), add the other pages if you like, give the template "
                     "a name and click <b>Save template</b>. Pages must be DIN A4 or US Letter, portrait or "
                     "landscape; only the first page of a file is used.</p>"
                     "<h3>Enabled and behind the content</h3>"
                     "<p>Only enabled templates are offered when you print. With <b>Behind content</b> on, the "
                     "stationery lies behind the document's text; off, it is drawn over it.</p>"
                     "<h3>Printing</h3>"
                     "<p>Print from any program and choose Quillary. A preview shows your document on your "
                     "stationery; save it as a PDF or print it.</p>"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(buttons);
    resize(560, 520);
}

} // namespace quillary
