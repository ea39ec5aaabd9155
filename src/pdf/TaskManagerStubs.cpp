// Placeholder so the skeleton links; replaced by the engine.
#include "pdf/TaskManager.h"
namespace quillary {
class PdfContext {};
class PageImageSource {};
PageImage::PageImage(std::shared_ptr<PageImageSource> s, int i, QSizeF z) : source(std::move(s)), index(i), pageSize(z) {}
QImage PageImage::render(QSize) const { return {}; }
std::unique_ptr<PdfContext> TaskManager::createPdfContext(const QString&, const SaveOptionsMap&, const QRectF&, QString*) { return {}; }
PdfResult TaskManager::mergeDocument(const MergeRequest&) { return {}; }
PdfResult TaskManager::mergeSinglePage(const QString&, const QString&, const QString&, bool, double, double) { return {}; }
std::optional<QString> TaskManager::extractPage(const QString&, int) { return {}; }
QList<PageImage> TaskManager::previewImages(const QString&, const std::optional<QString>&, const std::optional<QString>&, const std::optional<QString>&, bool, bool, bool, bool, double, double, double, double) { return {}; }
bool TaskManager::hasWhiteBackground(const QString&) { return false; }
}
