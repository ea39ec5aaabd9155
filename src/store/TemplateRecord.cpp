#include "store/TemplateRecord.h"

#include <algorithm>

namespace quillary {

QString referenceText(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
        return QString::number(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
        return QString::number(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(value.toDouble(), 'g', 17);
    default:
        return value.toString();
    }
}

std::optional<int> referenceIndex(const QVariant& value)
{
    const QString text = referenceText(value);
    if (text.isEmpty() || !std::all_of(text.cbegin(), text.cend(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        }))
        return std::nullopt; // also "X"
    bool ok = false;
    const int index = text.toInt(&ok, 10);
    if (!ok || index < 0)
        return std::nullopt;
    return index;
}

std::optional<TemplateRecord> TemplateRecord::fromEntry(const QVariant& entry)
{
    if (entry.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap map = entry.toMap();
    if (map.size() != 1 || map.cbegin().value().typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return TemplateRecord{map.cbegin().key(), map.cbegin().value().toMap()};
}

TemplateRecord TemplateRecord::created(const QString& name, const QString& changeLabel)
{
    TemplateRecord record{name, {}};
    for (const PageKindInfo& info : kPageKinds)
        record.properties.insert(info.recordKey, QString(kNoPage));
    record.setLastActivityWithDate(changeLabel);
    record.setActive(true);
    record.setDocFormat(QStringLiteral("99"));
    record.setOverlay(false);
    return record;
}

std::optional<int> TemplateRecord::pageIndex(PageKind kind) const
{
    return referenceIndex(properties.value(pageKindInfo(kind).recordKey));
}

void TemplateRecord::setPageIndex(PageKind kind, int index, bool asInteger)
{
    if (asInteger)
        properties.insert(pageKindInfo(kind).recordKey, qlonglong(index));
    else
        properties.insert(pageKindInfo(kind).recordKey, QString::number(index));
}

void TemplateRecord::clearPage(PageKind kind)
{
    properties.insert(pageKindInfo(kind).recordKey, QString(kNoPage));
}

} // namespace quillary
