#pragma once

#include <QString>

namespace quillary {

// Keys of the settings file and the kinds of files kept in the store directory.
// The numbers are stable: page kinds are passed around by number.
enum class StoreKey : int {
    Temporary = 0,          // scratch files tmpN.pdf (not stored)
    Preview = 1,            // scratch files prevN.pdf (not stored)
    Template = 2,           // stored continuation pages
    TemplateFirst = 3,      // stored start pages
    TemplateBack = 4,       // stored terms pages
    TemplatePattern = 5,    // legacy template format
    FirstStart = 8,         // first-start flag ["Y"] / ["N"]
    TemplateProperties = 9, // the template list
};

// Key under which the value lives in the settings file.
QString rawValue(StoreKey key);
// Start of a file name in the store directory, including the leading "/".
QString pathSuffix(StoreKey key);
// True for the three kinds of stored stationery pages (2, 3, 4).
bool isPageKind(StoreKey key);

} // namespace quillary
