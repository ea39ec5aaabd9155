#pragma once

// Reading page 1 of a long document without reading its whole
// cross-reference table. Internal to quillary_core.
//
// qpdf reads every entry of a file's cross-reference table before it hands
// out a single object: for a document of a hundred thousand pages that is
// hundreds of thousands of entries and half a second, before page 1 can be
// shown. A classic table has entries of exactly 20 bytes, so the entry of one
// object can be read where it lies. From those, the objects page 1 needs are
// found (the catalog, the page tree down to the first page, what that page
// and the nodes above it refer to), and qpdf is shown the file with a small
// table of only those objects appended. It then reads what it always reads,
// through its own parser and security handler; an object outside page 1
// reads as null.

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

} // namespace quillary
