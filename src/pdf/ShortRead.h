#pragma once

// Reading part of a PDF without reading its whole cross-reference table.
// Internal to quillary_core; used by FirstPageInput and PageRanges.
//
// qpdf reads every entry of a file's cross-reference table before it hands
// out a single object: for a document of a hundred thousand pages that is
// hundreds of thousands of entries and half a second, and hundreds of
// megabytes once its pages are listed. The entry of one object can be read
// where it lies: in a classic table every entry is 20 bytes, in a table
// stream every entry has the stream's fixed width. The objects a part of the
// document needs are picked that way, and qpdf is shown the file with a
// small table of only those objects appended (a classic table, or a table
// stream for a file that keeps objects in object streams). It then reads
// what it always reads, through its own parser and security handler; an
// object left out reads as null.

#include "pdf/ObjectScan.h"

#include <QByteArray>

#include <qpdf/InputSource.hh>
#include <qpdf/QPDFObjGen.hh>

#include <array>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quillary::shortread {

using objectscan::Scanned;
using objectscan::Unsuitable;

// Where an object lies: at an offset in the file, or in an object stream.
struct Entry {
    qpdf_offset_t offset = 0;
    int generation = 0;
    int stream = 0; // the object stream holding it; 0: none
    int index = 0;  // its place in that stream
};

// The file's cross-reference tables: classic tables of 20-byte entries or
// table streams, whose entries are read where they lie (a table stream is
// decoded once). Holds no input of its own, so that one table can serve
// later reads of the same file, one at a time.
class XrefTables {
public:
    // Throws Unsuitable for anything else (a hybrid file, tables of both
    // kinds, an encrypted file whose objects lie in object streams).
    explicit XrefTables(const std::shared_ptr<InputSource>& in);

    qpdf_offset_t fileSize() const { return size; }
    // The newest trailer (a table stream's dictionary): its entries, not
    // to be read through.
    const Scanned& trailer() const { return newestTrailer; }
    // The trailer's entries as the file writes them, but /Prev, /Size and
    // what belongs to a table stream alone.
    const std::string& trailerEntries() const { return entries; }
    // The trailer's /Size, or 0.
    qint64 declaredSize() const { return sizeEntry; }
    bool inStreams() const { return streams; }
    // The newest entry of an object in use; nothing for a free or unknown one.
    std::optional<Entry> lookup(InputSource& in, QPDFObjGen id) const;

private:
    struct Subsection {
        qint64 first = 0;
        qint64 count = 0;
        qpdf_offset_t entries = 0; // in the file, or in a table stream's data
    };
    struct Table {
        std::vector<Subsection> subsections;
        std::string data;            // a table stream's entries, decoded
        std::array<int, 3> widths{}; // of its fields
    };
    qpdf_offset_t readClassic(InputSource& in, qpdf_offset_t offset, Table& table, Scanned& trailerRead);
    qpdf_offset_t readStream(const std::shared_ptr<InputSource>& in, qpdf_offset_t offset, Table& table,
                             Scanned& trailerRead);

    qpdf_offset_t size = 0;
    std::vector<Table> tables; // newest first
    size_t subsectionCount = 0;
    bool streams = false;
    Scanned newestTrailer;
    std::string entries;
    qint64 sizeEntry = 0;
};

// Reads objects where the tables say they lie, from the file or from a
// decoded object stream (a few kept).
class ObjectReader {
public:
    // Table entries are read from tableIn (the same file opened again, so
    // that each keeps its own read-ahead window instead of both refilling
    // one), or from file too when that is null.
    ObjectReader(const XrefTables& tables, std::shared_ptr<InputSource> file,
                 std::shared_ptr<InputSource> tableIn = nullptr);

    const XrefTables& tables() const { return xref; }
    std::optional<Entry> lookup(QPDFObjGen id) { return xref.lookup(*tableIn, id); }
    // The object at entry, scanned; throws Unsuitable when it is not the
    // object id (the table points elsewhere: qpdf mends that reading the
    // whole file). node: a page tree node, whose kids are read as far as
    // maxKids.
    Scanned read(QPDFObjGen id, const Entry& entry, bool node, size_t maxKids = objectscan::MaxKids);
    // The bytes of a dictionary entry's value of an object read here.
    std::string raw(const Scanned& scanned, const objectscan::Item& item);

private:
    std::shared_ptr<InputSource> objectStream(int number, std::vector<qpdf_offset_t>& offsets);

    const XrefTables& xref;
    std::shared_ptr<InputSource> file;
    std::shared_ptr<InputSource> tableIn;
    struct Decoded {
        int number = 0;
        std::shared_ptr<InputSource> data;
        std::vector<qpdf_offset_t> offsets; // of its objects, by index; object numbers alongside
        std::vector<int> numbers;
    };
    std::list<Decoded> decoded; // most recently used first
};

// The objects picked for qpdf and the small table that lists them.
class Selection {
public:
    Selection(ObjectReader& reader, int maxObjects) : reader(reader), maxObjects(maxObjects) {}

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
    QByteArray classicTable(qpdf_offset_t at) const;
    QByteArray streamTable(qpdf_offset_t at) const;

    ObjectReader& reader;
    int maxObjects;
    std::map<QPDFObjGen, Entry> included;
    std::set<QPDFObjGen> looked;
    // Written after the file's own end, which may lack a line end.
    QByteArray added{"\n"};
};

} // namespace quillary::shortread
