// Placeholder so the skeleton links; replaced by the real store.
#include "store/CustomFileManager.h"
namespace quillary {
CustomFileManager::CustomFileManager(StoreConfig c) : config(std::move(c)) {}
QString CustomFileManager::storeDirectory() { return {}; }
bool CustomFileManager::save() { return false; }
std::optional<QVariantList> CustomFileManager::loadTemplateList() const { return {}; }
std::optional<QVariantList> CustomFileManager::templatesNamed(const QString&) const { return {}; }
bool CustomFileManager::templateExists(const QString&) const { return false; }
void CustomFileManager::addTemplate(const QVariantMap&) {}
void CustomFileManager::replaceTemplate(const QString&, const QString&, const QVariantMap&) {}
void CustomFileManager::deleteTemplate(const QString&) {}
void CustomFileManager::convertLegacyPatterns() {}
void CustomFileManager::createDefaultTemplate() {}
bool CustomFileManager::saveTemplate(const QString&, QString*) { return false; }
ImportResult CustomFileManager::importPage(StoreKey, const QString&, const std::optional<QString>&) { return {}; }
std::optional<QString> CustomFileManager::pagePath(StoreKey, int) const { return {}; }
QStringList CustomFileManager::pagePaths(StoreKey) { return {}; }
void CustomFileManager::setPagePaths(StoreKey, const QStringList&) {}
void CustomFileManager::deletePage(StoreKey, int) {}
QString CustomFileManager::scratchPath(StoreKey) { return {}; }
void CustomFileManager::deleteFile(const QString&) {}
void CustomFileManager::removeIfReadable(const QString&) {}
void CustomFileManager::copyFile(const QString&, const QString&) {}
QString CustomFileManager::changeLabel(bool) const { return {}; }
CustomFileManager& sharedStore() { static CustomFileManager s; return s; }
void configureSharedStore(StoreConfig) {}
QString referenceText(const QVariant&) { return {}; }
std::optional<int> referenceIndex(const QVariant&) { return {}; }
}
