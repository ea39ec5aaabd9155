#include "app/PlaceholderWindow.h"

#include "pdf/TaskManager.h"
#include "store/CustomFileManager.h"

#include <QLabel>
#include <QVBoxLayout>

namespace quillary {

QString describePaperFormat(const QString& documentPath)
{
    const PageSize size = TaskManager::pageSize(documentPath);
    const PageFormat format = TaskManager::pageFormat(size.width, size.height);
    QString name;
    switch (format.formatCode) {
    case FormatA4: name = PlaceholderWindow::tr("DIN A4"); break;
    case FormatUSLetter: name = PlaceholderWindow::tr("US Letter"); break;
    default: name = PlaceholderWindow::tr("undefined"); break;
    }
    if (format.formatCode != FormatUndefined)
        name += format.landscape ? PlaceholderWindow::tr(" (landscape)") : PlaceholderWindow::tr(" (portrait)");
    return PlaceholderWindow::tr("%1, %2 × %3 pt").arg(name).arg(size.width).arg(size.height);
}

PlaceholderWindow::PlaceholderWindow(const QString& documentPath, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 32, 32, 32);
    layout->setSpacing(12);
    auto* heading = new QLabel(this);
    QFont headingFont = heading->font();
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.6);
    headingFont.setBold(true);
    heading->setFont(headingFont);
    layout->addWidget(heading);
    if (documentPath.isEmpty()) {
        setWindowTitle(tr("Quillary"));
        heading->setText(tr("Management mode"));
        auto* body = new QLabel(tr("Your stationery templates will be managed here."), this);
        body->setWordWrap(true);
        layout->addWidget(body);
        // What the store holds, so a first start shows its default template.
        QStringList lines;
        for (const TemplateRecord& record : sharedStore().templateRecords().value_or(QList<TemplateRecord>())) {
            const QString format = record.docFormat();
            lines << tr("%1 — %2 — %3")
                         .arg(record.name.toHtmlEscaped(),
                              format == QLatin1String("0")   ? tr("DIN A4")
                              : format == QLatin1String("1") ? tr("US Letter")
                                                             : tr("undefined"),
                              record.isActive() ? tr("enabled") : tr("disabled"));
        }
        if (!lines.isEmpty()) {
            auto* list = new QLabel(QStringLiteral("<b>%1</b><br>%2").arg(tr("Templates"), lines.join(QStringLiteral("<br>"))), this);
            list->setTextFormat(Qt::RichText);
            layout->addSpacing(8);
            layout->addWidget(list);
        }
        resize(680, 360);
    } else {
        setWindowTitle(tr("Quillary – Preview"));
        heading->setText(tr("Print-service mode"));
        auto* pathLabel = new QLabel(tr("Document: %1").arg(documentPath), this);
        pathLabel->setWordWrap(true);
        pathLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(pathLabel);
        layout->addWidget(new QLabel(tr("Paper format: %1").arg(describePaperFormat(documentPath)), this));
        resize(600, 518);
    }
    layout->addStretch(1);
}

} // namespace quillary
