#pragma once

// One template of the store, typed. The record is kept as the settings file
// holds it (properties), so that a value keeps its stored type through a
// save (an index stored as an integer stays an integer) and keys this
// version does not know survive; the accessors read and write it by meaning.

#include "store/PageKinds.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace quillary {

// Any value of a record as text, the way every reader compares it: text as is,
// integers in decimal, booleans "1" or "0".
QString referenceText(const QVariant& value);
// The index a page reference names: decimal digits only (or an integer that is
// not negative); nothing for "X", "-1", " 1", "1.5", "abc" and the like.
std::optional<int> referenceIndex(const QVariant& value);

struct TemplateRecord {
    // Keys of the stored record.
    static constexpr QLatin1StringView kLastActivityWithDate{"lastActivityWithDate"};
    static constexpr QLatin1StringView kIsActive{"isActive"};
    static constexpr QLatin1StringView kDocFormat{"docFormat"};
    static constexpr QLatin1StringView kIsOverlay{"isOverlay"};
    static constexpr QLatin1StringView kNoPage{"X"};

    QString name;
    QVariantMap properties;

    // A one-key template entry (name -> record) as the template list holds it;
    // nothing when the entry has not exactly one key or its value is no record.
    static std::optional<TemplateRecord> fromEntry(const QVariant& entry);
    QVariantMap toEntry() const { return {{name, properties}}; }

    // A new template's record: no pages, "Created ..." label, enabled, the
    // stationery over the content ("isOverlay" false), format undefined.
    static TemplateRecord created(const QString& name, const QString& changeLabel);

    // Any property as text (see referenceText); empty when absent.
    QString text(QLatin1StringView key) const { return referenceText(properties.value(key)); }
    bool has(QLatin1StringView key) const { return properties.contains(key); }

    // --- pages ---
    // The stored reference as text ("X", "0", ...); empty when the key is absent.
    QString pageReference(PageKind kind) const { return text(pageKindInfo(kind).recordKey); }
    // True when the reference is "X": the template has no page of that kind.
    bool lacksPage(PageKind kind) const { return pageReference(kind) == kNoPage; }
    // The index into the store's list of that kind; nothing for "X", an absent
    // key or a reference that is no decimal index.
    std::optional<int> pageIndex(PageKind kind) const;
    // Stores an index as text, or as an integer where older versions did.
    void setPageIndex(PageKind kind, int index, bool asInteger = false);
    void clearPage(PageKind kind);

    // --- the other fields ---
    QString lastActivityWithDate() const { return text(kLastActivityWithDate); }
    void setLastActivityWithDate(const QString& label) { properties.insert(kLastActivityWithDate, label); }
    // Enabled: offered in print-service mode. Only an explicit false ("0")
    // disables a template.
    bool isActive() const { return text(kIsActive) != QLatin1String("0"); }
    void setActive(bool on) { properties.insert(kIsActive, on); }
    // True: the content lies over the stationery (stationery behind). Only an
    // explicit true ("1") counts.
    bool isOverlay() const { return text(kIsOverlay) == QLatin1String("1"); }
    void setOverlay(bool on) { properties.insert(kIsOverlay, on); }
    // "0" DIN A4, "1" US Letter, "99" undefined, as stored.
    QString docFormat() const { return text(kDocFormat); }
    void setDocFormat(const QString& format) { properties.insert(kDocFormat, format); }

    friend bool operator==(const TemplateRecord&, const TemplateRecord&) = default;
};

} // namespace quillary
