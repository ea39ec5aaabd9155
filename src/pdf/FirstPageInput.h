#pragma once

// Reading page 1 of a long document without reading its whole
// cross-reference table (see ShortRead.h): the catalog, the page tree down
// to the first page, and what that page and the nodes above it refer to.
// Internal to quillary_core.

#include <QString>

#include <qpdf/InputSource.hh>

#include <memory>

namespace quillary {

// The file as qpdf should see it to read page 1 alone; null when the file
// does not lend itself to that (a cross-reference stream, a hybrid file, a
// table not laid out in 20-byte entries, an entry that points elsewhere than
// its object, a page tree without a page, more objects than page 1 of a real
// document needs, a file qpdf's tokenizer cannot read): open the file whole
// then.
std::shared_ptr<InputSource> firstPageInput(std::shared_ptr<InputSource> file);

// The same for the file at path, opened here. The windows read page 1 of
// one document more than once in a row (to check it, then to merge it):
// the added table of the file read last is kept, for as long as the file
// has the same inode, size and time of change.
std::shared_ptr<InputSource> firstPageInput(const QString& path);

} // namespace quillary
