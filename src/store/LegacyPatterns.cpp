// Legacy conversion: settings files of older versions keep templates as
// "-"-joined pattern strings under "templatepattern". They are brought to
// seven fields and turned into template records once.

#include "store/CustomFileManager.h"

namespace quillary {

namespace {

// Fields of a legacy pattern, in order.
enum LegacyField { Front, Secondary, Terms, Label, Active, Format, Overlay, FieldCount };

} // namespace

// Brings every legacy pattern to seven fields. Each pattern gets the fields it
// lacks, and only those: patterns of different ages in one file (a hand-edited
// or merged file) must not push a later field into the wrong place, which
// would read a pattern's layer as its paper format.
void CustomFileManager::upgradeLegacyPatterns()
{
    const QString key = rawValue(StoreKey::TemplatePattern);
    const QVariant value = dic->value(key);
    if (value.typeId() != QMetaType::QVariantMap)
        return;
    QVariantMap patterns = value.toMap();
    bool changed = false;
    for (auto it = patterns.begin(); it != patterns.end(); ++it) {
        if (it.value().typeId() != QMetaType::QString)
            continue;
        QString pattern = it.value().toString();
        const qsizetype fields = pattern.split(QLatin1Char('-')).size();
        if (fields <= Active)
            pattern += QStringLiteral("-1"); // isActive: enabled
        if (fields <= Format)
            pattern += QStringLiteral("-0"); // docFormat: DIN A4
        if (fields <= Overlay)
            pattern += QStringLiteral("-0"); // isOverlay: stationery behind the content
        if (pattern != it.value().toString()) {
            it.value() = pattern;
            changed = true;
        }
    }
    if (changed)
        (*dic)[key] = patterns;
}

void CustomFileManager::convertLegacyPatternsInMemory()
{
    const QVariant value = dic->value(rawValue(StoreKey::TemplatePattern));
    if (value.typeId() != QMetaType::QVariantMap)
        return;
    const QVariantMap patterns = value.toMap();
    for (const QVariant& pattern : patterns)
        if (pattern.typeId() != QMetaType::QString)
            return; // not a dictionary of string to string

    // Appended to the current list, not the one read at start-up: the preview
    // controller calls this again later, and templates made since then (the
    // default template, for one) must stay.
    if (auto current = loadTemplateList())
        templateProperties = *current;

    for (auto it = patterns.cbegin(); it != patterns.cend(); ++it) {
        const QStringList fields = it.value().toString().split(QLatin1Char('-'));
        const auto field = [&](LegacyField i) { return i < fields.size() ? fields.at(i) : QString(); };
        TemplateRecord record{it.key(), {}};
        record.properties.insert(pageKindInfo(PageKind::Start).recordKey, field(Front));
        record.properties.insert(pageKindInfo(PageKind::Continuation).recordKey, field(Secondary));
        record.properties.insert(pageKindInfo(PageKind::Terms).recordKey, field(Terms));
        record.setLastActivityWithDate(field(Label));
        record.setActive(field(Active) == QLatin1String("1"));
        record.setDocFormat(field(Format));
        record.setOverlay(field(Overlay) == QLatin1String("1"));
        templateProperties.append(record);
    }
    storeTemplates(templateProperties);
    (*dic)[rawValue(StoreKey::TemplatePattern)] = QVariantList{};
}

Result CustomFileManager::convertLegacyPatterns()
{
    return changeSettings([this] {
        convertLegacyPatternsInMemory();
        return Result::success();
    });
}

} // namespace quillary
