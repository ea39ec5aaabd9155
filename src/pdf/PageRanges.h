#pragma once

// Reading a range of a long document's pages without reading the whole
// document. Internal to quillary_core.
//
// The page tree is followed once through the file's classic tables (see
// ShortRead.h), noting where each page and each node lies. A range is then
// read as page 1 is: qpdf is shown the file with a small table of the
// catalog, the nodes above the range (written anew with only the kids that
// lead into it), the range's pages and what they refer to. A document of a
// hundred thousand pages then costs, per range, what a document of that
// range's length costs.

#include "pdf/ShortRead.h"

#include <memory>
#include <vector>

namespace quillary {

class PageRanges {
public:
    // The pages of file; null when the file does not lend itself to that
    // (anything firstPageInput declines, a page tree qpdf would have to mend:
    // a page listed twice, a loop, a node without kids, an odd kid). Read
    // the file whole then.
    // table: the same file opened again, for reading table entries.
    static std::shared_ptr<const PageRanges> index(const std::shared_ptr<InputSource>& file,
                                                  const std::shared_ptr<InputSource>& table);

    int pageCount() const { return int(leaves.size()); }
    qpdf_offset_t fileSize() const { return tables.fileSize(); }
    QPDFObjGen page(int index) const { return leaves.at(size_t(index)).id; }

    // The file (the one indexed, opened again) as qpdf should see it to read
    // pages [first, first + count) alone; null when that cannot be done.
    std::shared_ptr<InputSource> input(const std::shared_ptr<InputSource>& file,
                                       const std::shared_ptr<InputSource>& table, int first, int count) const;

private:
    struct Place {
        QPDFObjGen id;
        shortread::Entry entry;
        int parent = -1; // index into nodes
    };
    explicit PageRanges(const std::shared_ptr<InputSource>& file) : tables(file) {}
    void walk(shortread::ObjectReader& reader, QPDFObjGen id, int parent, int depth, std::set<QPDFObjGen>& seen);

    shortread::XrefTables tables;
    QPDFObjGen root;
    shortread::Entry rootEntry;
    std::vector<Place> nodes;
    std::vector<Place> leaves;
};

} // namespace quillary
