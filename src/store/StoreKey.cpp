#include "store/StoreKey.h"

#include "store/PageKinds.h"

namespace quillary {

QString rawValue(StoreKey key)
{
    if (const auto kind = pageKindOf(key))
        return pageKindInfo(*kind).settingsKey;
    switch (key) {
    case StoreKey::Temporary: return QStringLiteral("temporary");
    case StoreKey::Preview: return QStringLiteral("preview");
    case StoreKey::TemplatePattern: return QStringLiteral("templatepattern");
    case StoreKey::FirstStart: return QStringLiteral("first_start");
    case StoreKey::TemplateProperties: return QStringLiteral("templateproperties");
    default: return {};
    }
}

QString pathSuffix(StoreKey key)
{
    if (const auto kind = pageKindOf(key))
        return pageKindInfo(*kind).filePrefix;
    switch (key) {
    case StoreKey::Temporary: return QStringLiteral("/tmp");
    case StoreKey::Preview: return QStringLiteral("/prev");
    case StoreKey::TemplatePattern: return QStringLiteral("/templatepattern");
    case StoreKey::FirstStart: return QStringLiteral("/first_start");
    case StoreKey::TemplateProperties: return QStringLiteral("/templateproperties");
    default: return {};
    }
}

bool isPageKind(StoreKey key)
{
    return pageKindOf(key).has_value();
}

} // namespace quillary
