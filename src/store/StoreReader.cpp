#include "store/StoreReader.h"

#include "store/SettingsFile.h"
#include "store/StoreSupport.h"

#include <QDir>

namespace quillary {

ValueResult<StoredTemplate> readStoredTemplate(const QString& directory, const QString& name)
{
    const QString settingsPath = directory + QStringLiteral("/settings.plist");
    const settingsfile::Contents contents = settingsfile::read(settingsPath);
    switch (contents.state) {
    case settingsfile::State::Read:
        break;
    case settingsfile::State::Missing:
        return Result::failure(ErrorCode::NotFound, QStringLiteral("%1: no template store here (no settings file)").arg(settingsPath));
    case settingsfile::State::TooLarge:
        return Result::failure(ErrorCode::Damaged, QStringLiteral("%1: larger than a store's settings can be").arg(settingsPath));
    case settingsfile::State::Unreadable:
        return Result::failure(ErrorCode::Unreadable, QStringLiteral("%1: cannot be read (%2)").arg(settingsPath, contents.reason));
    case settingsfile::State::Damaged:
        return Result::failure(ErrorCode::Damaged, QStringLiteral("%1: not a store's settings (%2)").arg(settingsPath, contents.reason));
    }
    const QVariantMap& dictionary = contents.dictionary;
    const auto entries = storesupport::templateEntries(dictionary.value(rawValue(StoreKey::TemplateProperties)));
    std::optional<TemplateRecord> found;
    for (const QVariant& entry : entries.value_or(QVariantList{})) {
        if (auto record = TemplateRecord::fromEntry(entry); record && record->name == name) {
            found = std::move(record);
            break;
        }
    }
    if (!found)
        return Result::failure(ErrorCode::Missing, QStringLiteral("%1: no template named \"%2\"").arg(settingsPath, name));

    StoredTemplate stored{*found, {}};
    for (const PageKindInfo& kind : kPageKinds) {
        const QString reference = found->pageReference(kind.kind);
        if (reference.isEmpty() || found->lacksPage(kind.kind))
            continue;
        const auto index = found->pageIndex(kind.kind);
        const QVariant list = dictionary.value(rawValue(kind.storeKey));
        const QStringList paths = list.toStringList();
        if (!index || (list.typeId() != QMetaType::QVariantList && list.typeId() != QMetaType::QStringList) || *index >= paths.size()
            || paths.at(*index).isEmpty())
            return Result::failure(ErrorCode::Missing, QStringLiteral("template \"%1\": its %2 (reference \"%3\") is not in the store")
                                                            .arg(name, QString::fromLatin1(kind.label), reference));
        const QString& entry = paths.at(*index);
        stored.pages[static_cast<int>(kind.kind)] = QDir::isAbsolutePath(entry) ? entry : QDir::cleanPath(directory + QLatin1Char('/') + entry);
    }
    return ValueResult<StoredTemplate>::of(std::move(stored));
}

} // namespace quillary
