#pragma once

// Reading part of a PDF without reading its whole cross-reference table.
// Internal to quillary_core; used by FirstPageInput and PageRanges.
//
// qpdf reads every entry of a file's cross-reference table before it hands
// out a single object: for a document of a hundred thousand pages that is
// hundreds of thousands of entries and half a second, and hundreds of
// megabytes once its pages are listed. A classic table has entries of
// exactly 20 bytes, so the entry of one object can be read where it lies.
// The objects a part of the document needs are picked that way, and qpdf is
// shown the file with a small table of only those objects appended. It then
// reads what it always reads, through its own parser and security handler;
// an object left out reads as null.

#include "pdf/ObjectScan.h"

#include <QByteArray>

#include <qpdf/InputSource.hh>
#include <qpdf/QPDFObjGen.hh>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quillary::shortread {

using objectscan::Scanned;
using objectscan::Unsuitable;

struct Entry {
    qpdf_offset_t offset = 0;
    int generation = 0;
};

// The file's classic cross-reference tables: their sections and
// subsections, whose entries are read where they lie. Holds no input of
// its own, so that one table can serve later reads of the same file.
class XrefTables {
public:
    // Throws Unsuitable for anything but classic tables of 20-byte entries.
    explicit XrefTables(InputSource& in);

    qpdf_offset_t fileSize() const { return size; }
    const Scanned& trailer() const { return newestTrailer; }
    // The newest entry of an object in use; nothing for a free or unknown one.
    std::optional<Entry> lookup(InputSource& in, QPDFObjGen id) const;

private:
    struct Subsection {
        qint64 first = 0;
        qint64 count = 0;
        qpdf_offset_t entries = 0;
    };
    void readSections(InputSource& in, qpdf_offset_t offset);

    qpdf_offset_t size = 0;
    std::vector<std::vector<Subsection>> tables; // newest first
    size_t subsectionCount = 0;
    Scanned newestTrailer;
};

// The object at entry, scanned; throws Unsuitable when it is not the object
// id (the table points elsewhere: qpdf mends that reading the whole file).
// node: a page tree node, whose kids are read as far as maxKids.
Scanned readObject(const std::shared_ptr<InputSource>& in, QPDFObjGen id, const Entry& entry, bool node,
                   size_t maxKids = objectscan::MaxKids);

// The objects picked for qpdf and the small table that lists them.
class Selection {
public:
    // Objects are read from in, table entries from tableIn (the same file
    // opened again, so that each keeps its own read-ahead window instead of
    // both refilling one), or from in too when that is null.
    Selection(const XrefTables& tables, std::shared_ptr<InputSource> in, int maxObjects,
              std::shared_ptr<InputSource> tableIn = nullptr)
        : tables(tables), in(std::move(in)), tableIn(tableIn ? std::move(tableIn) : this->in), maxObjects(maxObjects)
    {
    }

    // The object the table lists for id, scanned; nothing in entry for an
    // object the file does not hold (it reads as null).
    Scanned read(QPDFObjGen id, std::optional<Entry>& entry, bool node, size_t maxKids = objectscan::MaxKids);
    void list(QPDFObjGen id, const Entry& entry);
    // Everything the references lead to, but pages and page tree nodes:
    // what points there (a link to another page, say) reads as null.
    void follow(std::vector<QPDFObjGen> pending);
    // A node written into the added section, with the kids given.
    void rewrite(QPDFObjGen id, const Scanned& node, const std::vector<QPDFObjGen>& kids);
    // The section to append to the file: the rewritten nodes and a table of
    // every object listed, with the trailer.
    QByteArray tail() const;

private:
    std::string raw(const objectscan::Item& item) const;
    std::string dictionary(const Scanned& scanned, std::string text, std::initializer_list<std::string_view> leaveOut) const;

    const XrefTables& tables;
    std::shared_ptr<InputSource> in;
    std::shared_ptr<InputSource> tableIn;
    int maxObjects;
    std::map<QPDFObjGen, Entry> included;
    std::set<QPDFObjGen> looked;
    // Written after the file's own end, which may lack a line end.
    QByteArray added{"\n"};
};

} // namespace quillary::shortread
