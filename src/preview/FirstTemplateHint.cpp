#include "preview/FirstTemplateHint.h"

#include "platform/Ui.h"
#include "store/CustomFileManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QHBoxLayout>

#include <qpdf/Buffer.hh>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <optional>
#include <string>

namespace quillary {

namespace {

// Stored pages are written afresh when a template takes them (a new file
// identity each time), so the sample is recognised by what the page draws:
// its content and its size, as qpdf reads them.
std::optional<std::string> pageDrawing(const QString& path)
{
    constexpr qint64 kLimit = 4 * 1024 * 1024; // the sample is small; a larger page is the user's own
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLimit)
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processMemoryFile("page", bytes.constData(), size_t(bytes.size()));
        const std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
        if (pages.empty())
            return std::nullopt;
        QPDFPageObjectHelper page = pages.front();
        Pl_Buffer content("content");
        page.pipeContents(&content);
        const std::shared_ptr<Buffer> drawn = content.getBufferSharedPointer();
        return page.getMediaBox().unparse() + '\n'
            + std::string(reinterpret_cast<const char*>(drawn->getBuffer()), drawn->getSize());
    } catch (const std::exception&) {
        return std::nullopt; // not a page that could be the sample
    }
}

} // namespace

bool hasOnlyTheSampleTemplate(const CustomFileManager& store)
{
    const std::optional<QList<TemplateRecord>> list = store.loadTemplateList();
    if (!list || list->size() != 1)
        return false;
    const TemplateRecord& only = list->first();
    if (only.pageIndex(PageKind::Continuation) || only.pageIndex(PageKind::Terms))
        return false;
    const std::optional<int> start = only.pageIndex(PageKind::Start);
    const std::optional<QString> page = start ? store.pagePath(PageKind::Start, *start) : std::nullopt;
    if (!page)
        return false;
    const std::optional<std::string> drawn = pageDrawing(*page);
    if (!drawn)
        return false;
    // The sample in any of its languages: the English page and its
    // translations beside it ("sample-letterhead_de.pdf").
    const QFileInfo english(store.sampleLetterheadPath());
    const QDir folder = english.dir();
    for (const QString& name : folder.entryList({english.completeBaseName() + QStringLiteral("*.pdf")}, QDir::Files)) {
        if (pageDrawing(folder.filePath(name)) == drawn)
            return true;
    }
    return false;
}

QWidget* makeFirstTemplateHint(const CustomFileManager& store, QWidget* parent)
{
    if (!hasOnlyTheSampleTemplate(store))
        return nullptr;
    auto* hint = new QWidget(parent);
    hint->setObjectName(QStringLiteral("firstTemplateHint"));
    auto* line = new QLabel(QCoreApplication::translate("FirstTemplateHint",
                                                        "This is Quillary's sample letterhead: you have no template "
                                                        "of your own yet."),
                            hint);
    line->setWordWrap(true);
    auto* button = new QPushButton(QCoreApplication::translate("FirstTemplateHint", "Make a template..."), hint);
    button->setAccessibleName(QCoreApplication::translate("FirstTemplateHint", "Make a template"));
    QObject::connect(button, &QPushButton::clicked, hint, [] {
        // Management mode: a process of its own, as starting Quillary does.
        Ui::instance().startDetached(QCoreApplication::applicationFilePath(), {});
    });
    auto* layout = new QHBoxLayout(hint);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->addWidget(line, 1);
    layout->addWidget(button);
    return hint;
}

} // namespace quillary
