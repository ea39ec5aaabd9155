#include "app/ManualWindow.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace quillary {

QString ManualWindow::html()
{
    const QStringList sections{
        tr("<h2>Your stationery on every document</h2>"
           "<p>A <b>template</b> holds up to three one-page PDF files: the <b>start page</b> is laid on "
           "page 1 of a document, the <b>continuation page</b> on every further page, and the "
           "<b>terms page</b> is appended after the last page.</p>"),
        tr("<h3>Making a template</h3>"
           "<p>Click <b>+</b> below the list, drop your letterhead PDF on the start page (or click the "
           "round button under it to choose a file), add the other pages if you like, give the template "
           "a name and click <b>Save template</b>. Pages must be DIN A4 or US Letter, portrait or "
           "landscape; only the first page of a file is used. Quillary warns you when the pages of one "
           "template differ in paper format.</p>"),
        tr("<h3>Enabled and behind the content</h3>"
           "<p>Only enabled templates are offered when you print. With <b>Behind content</b> on, the "
           "stationery lies behind the document's text; off, it is drawn over it.</p>"),
        tr("<h3>Printing</h3>"
           "<p>Print from any program and choose Quillary. A preview shows your document on your "
           "stationery; save it as a PDF (<b>Ctrl+S</b>) or print it (<b>Ctrl+P</b>).</p>"),
        tr("<h3>Shifting the content (offsets)</h3>"
           "<p>When the document's text runs into the letterhead, select a page in the preview and click "
           "<b>Offset...</b>. Enter how far the document's content moves, in millimetres: <b>x</b> to the "
           "right (negative: to the left), <b>y</b> up (negative: down). The stationery stays where it "
           "is. <b>Show help lines</b> gives you lines to align the text with; <b>Enter</b> accepts, <b>Escape</b> cancels. The "
           "offset of the start page applies to page 1, that of a continuation page to all further "
           "pages.</p>"),
        tr("<h3>Passwords</h3>"
           "<p>In the save panel, <b>Protect with a password</b> encrypts the PDF (AES-256): it opens only "
           "with the <b>password</b>. <b>Do not allow printing and copying</b> adds an <b>owner "
           "password</b>, needed to lift these restrictions; left empty, Quillary picks a random one, and "
           "the restrictions can then never be lifted. Quillary stores no password: keep it safe.</p>"),
        tr("<h3>The command-line tool</h3>"
           "<p><code>quillary-stamp</code> lays a template on documents without a window, for scripts "
           "and batches:</p>"
           "<pre>quillary-stamp --template \"My template\" letter.pdf letter-on-paper.pdf\n"
           "quillary-stamp -t \"My template\" --output-dir stamped *.pdf</pre>"
           "<p><code>--first-offset X,Y</code> and <code>--offset X,Y</code> shift the content as the "
           "offset editor does; <code>--password-file FILE</code> encrypts the output. "
           "<code>quillary-stamp --help</code> lists every option.</p>"),
        tr("<h3>When no template fits</h3>"
           "<p>The preview chooses the first enabled template whose start page has the document's paper "
           "format. When none has, it says <i>No template fits the paper format of this document</i>: "
           "choose a template in the list above the pages (the stationery is then laid on as it is), or "
           "make a template in that format in the template window and enable it. When no template is "
           "enabled at all, enable one with its switch in the template window.</p>"),
    };
    return sections.join(QString());
}

ManualWindow::ManualWindow(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Quillary Manual"));
    setAccessibleName(windowTitle());
    text = new QTextBrowser(this);
    text->setOpenExternalLinks(false);
    text->setAccessibleName(tr("Manual"));
    // The text keeps its distance from the frame, as a page does.
    text->document()->setDocumentMargin(18);
    text->setHtml(html());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(buttons);
    resize(620, 600);
}

} // namespace quillary
