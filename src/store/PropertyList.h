#pragma once

// Property lists (XML or binary) <-> QVariant, through libplist.
// Internal to quillary_core; the store is its only user.

#include <QByteArray>
#include <QVariant>

#include <optional>

namespace quillary {

// Parses a property list whose root is a dictionary. Nothing when the bytes are
// not a property list or the root is something else.
//   string -> QString, boolean -> bool, integer -> qlonglong, real -> double,
//   date -> QDateTime (UTC), data -> QByteArray, array -> QVariantList,
//   dictionary -> QVariantMap.
std::optional<QVariantMap> readPropertyListDictionary(const QByteArray& bytes);

// The dictionary as an XML property list (the inverse of the mapping above;
// QStringList becomes an array, any other value its text). Empty on failure.
QByteArray writePropertyListXml(const QVariantMap& dictionary);

} // namespace quillary
