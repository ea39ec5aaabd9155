#include "store/StoreKey.h"

namespace quillary {

QString rawValue(StoreKey key)
{
    switch (key) {
    case StoreKey::Temporary: return QStringLiteral("temporary");
    case StoreKey::Preview: return QStringLiteral("preview");
    case StoreKey::Template: return QStringLiteral("template");
    case StoreKey::TemplateFirst: return QStringLiteral("templatefirst");
    case StoreKey::TemplateBack: return QStringLiteral("templateback");
    case StoreKey::TemplatePattern: return QStringLiteral("templatepattern");
    case StoreKey::FirstStart: return QStringLiteral("first_start");
    case StoreKey::TemplateProperties: return QStringLiteral("templateproperties");
    }
    return {};
}

QString pathSuffix(StoreKey key)
{
    switch (key) {
    case StoreKey::Temporary: return QStringLiteral("/tmp");
    case StoreKey::Preview: return QStringLiteral("/prev");
    case StoreKey::Template: return QStringLiteral("/temp");
    case StoreKey::TemplateFirst: return QStringLiteral("/tempf");
    case StoreKey::TemplateBack: return QStringLiteral("/tempb");
    case StoreKey::TemplatePattern: return QStringLiteral("/templatepattern");
    case StoreKey::FirstStart: return QStringLiteral("/first_start");
    case StoreKey::TemplateProperties: return QStringLiteral("/templateproperties");
    }
    return {};
}

bool isPageKind(StoreKey key)
{
    return key == StoreKey::Template || key == StoreKey::TemplateFirst || key == StoreKey::TemplateBack;
}

} // namespace quillary
