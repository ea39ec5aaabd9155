#include "pdf/ShortRead.h"

#include <qpdf/QPDFTokenizer.hh>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace quillary::shortread {

namespace {

// Bounds for a hostile file: beyond them the file is opened whole, which
// has bounds of its own.
constexpr int MaxSections = 32;          // incremental updates
constexpr size_t MaxSubsections = 4096;   // all tables together: each lookup walks them
constexpr qpdf_offset_t EntrySize = 20;
constexpr qpdf_offset_t MaxRaw = 1 << 20;   // bytes of a dictionary entry copied

qint64 nonNegative(std::string_view text)
{
    qint64 value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0)
        throw Unsuitable{};
    return value;
}

// The line at offset (leading white space skipped) and where the next one
// starts.
std::string lineAt(InputSource& in, qpdf_offset_t offset, qpdf_offset_t& next, qpdf_offset_t* start = nullptr)
{
    char buffer[256];
    in.seek(offset, SEEK_SET);
    const size_t length = in.read(buffer, sizeof buffer);
    size_t i = 0;
    while (i < length && std::strchr(" \t\r\n\f", buffer[i]) && buffer[i] != '\0')
        ++i;
    size_t end = i;
    while (end < length && buffer[end] != '\r' && buffer[end] != '\n')
        ++end;
    if (end == length && length == sizeof buffer)
        throw Unsuitable{};
    if (start)
        *start = offset + qpdf_offset_t(i);
    std::string line(buffer + i, end - i);
    if (end < length && buffer[end] == '\r')
        ++end;
    if (end < length && buffer[end] == '\n')
        ++end;
    next = offset + qpdf_offset_t(end);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    return line;
}

qpdf_offset_t startxref(InputSource& in, qpdf_offset_t fileSize)
{
    // The last "startxref" within the file's last kilobyte.
    const qpdf_offset_t from = std::max<qpdf_offset_t>(0, fileSize - 1024);
    std::string end(size_t(fileSize - from), '\0');
    in.seek(from, SEEK_SET);
    end.resize(in.read(end.data(), end.size()));
    const size_t at = end.rfind("startxref");
    if (at == std::string::npos)
        throw Unsuitable{};
    qpdf_offset_t next = 0;
    const std::string number = lineAt(in, from + qpdf_offset_t(at) + 9, next);
    return nonNegative(number);
}

// Reads the 20-byte entry at offset; false for anything else.
bool entryAt(InputSource& in, qpdf_offset_t offset, Entry& entry, bool& used)
{
    char e[EntrySize];
    in.seek(offset, SEEK_SET);
    if (in.read(e, sizeof e) != sizeof e)
        return false;
    for (int i : {10, 16})
        if (e[i] != ' ')
            return false;
    for (int i = 0; i < 16; ++i)
        if (i != 10 && (e[i] < '0' || e[i] > '9'))
            return false;
    if (e[17] != 'n' && e[17] != 'f')
        return false;
    const std::string_view eol(e + 18, 2);
    if (eol != " \n" && eol != " \r" && eol != "\r\n")
        return false;
    entry.offset = nonNegative(std::string_view(e, 10));
    entry.generation = int(nonNegative(std::string_view(e + 11, 5)));
    used = e[17] == 'n';
    return true;
}

} // namespace

XrefTables::XrefTables(InputSource& in)
{
    in.seek(0, SEEK_END);
    size = in.tell();
    readSections(in, startxref(in, size));
}

void XrefTables::readSections(InputSource& in, qpdf_offset_t offset)
{
    std::set<qpdf_offset_t> seen;
    for (int section = 0;; ++section) {
        if (section >= MaxSections || offset >= size || !seen.insert(offset).second)
            throw Unsuitable{};
        qpdf_offset_t next = 0;
        if (lineAt(in, offset, next) != "xref")
            throw Unsuitable{}; // a cross-reference stream, or no table there
        std::vector<Subsection> subsections;
        for (;;) {
            qpdf_offset_t start = 0;
            const std::string line = lineAt(in, next, next, &start);
            if (line.rfind("trailer", 0) == 0) {
                in.seek(start + 7, SEEK_SET);
                // scanObject takes qpdf's shared pointer; this one owns nothing.
                Scanned dictionary =
                    objectscan::scanObject(std::shared_ptr<InputSource>(std::shared_ptr<void>(), &in), false);
                if (!dictionary.dictionary || dictionary.find("/XRefStm"))
                    throw Unsuitable{};
                tables.push_back(std::move(subsections));
                const objectscan::Item* previous = dictionary.find("/Prev");
                const bool last = !previous;
                if (previous && !previous->integer)
                    throw Unsuitable{};
                if (previous)
                    offset = *previous->integer;
                if (section == 0)
                    newestTrailer = std::move(dictionary);
                if (last)
                    return;
                break;
            }
            const size_t space = line.find(' ');
            if (space == std::string::npos || ++subsectionCount > MaxSubsections)
                throw Unsuitable{};
            const size_t count = line.find_first_not_of(' ', space);
            if (count == std::string::npos)
                throw Unsuitable{};
            Subsection sub;
            sub.first = nonNegative(std::string_view(line).substr(0, space));
            sub.count = nonNegative(std::string_view(line).substr(count));
            sub.entries = next;
            if (sub.count > (size - next) / EntrySize)
                throw Unsuitable{};
            // Its first and last entries where 20-byte entries put them.
            Entry entry;
            bool used = false;
            if (sub.count > 0
                && (!entryAt(in, next, entry, used) || !entryAt(in, next + (sub.count - 1) * EntrySize, entry, used)))
                throw Unsuitable{};
            next += sub.count * EntrySize;
            subsections.push_back(sub);
        }
    }
}

std::optional<Entry> XrefTables::lookup(InputSource& in, QPDFObjGen id) const
{
    for (const auto& table : tables) {
        for (const Subsection& sub : table) {
            const qint64 n = id.getObj();
            if (n < sub.first || n >= sub.first + sub.count)
                continue;
            Entry entry;
            bool used = false;
            if (!entryAt(in, sub.entries + (n - sub.first) * EntrySize, entry, used))
                throw Unsuitable{};
            if (!used || entry.generation != id.getGen())
                return std::nullopt;
            return entry;
        }
    }
    return std::nullopt;
}

Scanned readObject(const std::shared_ptr<InputSource>& in, QPDFObjGen id, const Entry& entry, bool node,
                   size_t maxKids)
{
    in->seek(entry.offset, SEEK_SET);
    QPDFTokenizer tokenizer;
    const auto number = tokenizer.readToken(in, "object");
    const auto generation = tokenizer.readToken(in, "object");
    const auto keyword = tokenizer.readToken(in, "object");
    if (number.getType() != QPDFTokenizer::tt_integer || generation.getType() != QPDFTokenizer::tt_integer
        || keyword.getType() != QPDFTokenizer::tt_word || keyword.getValue() != "obj"
        || number.getValue() != std::to_string(id.getObj()) || generation.getValue() != std::to_string(id.getGen()))
        throw Unsuitable{}; // the table points elsewhere: qpdf mends that reading the whole file
    return objectscan::scanObject(in, node, maxKids);
}

Scanned Selection::read(QPDFObjGen id, std::optional<Entry>& entry, bool node, size_t maxKids)
{
    entry = tables.lookup(*tableIn, id);
    if (!entry)
        return {};
    return readObject(in, id, *entry, node, maxKids);
}

void Selection::list(QPDFObjGen id, const Entry& entry)
{
    if (included.size() >= size_t(maxObjects))
        throw Unsuitable{};
    included[id] = entry;
}

void Selection::follow(std::vector<QPDFObjGen> pending)
{
    while (!pending.empty()) {
        const QPDFObjGen id = pending.back();
        pending.pop_back();
        if (included.contains(id) || !looked.insert(id).second)
            continue;
        std::optional<Entry> entry;
        const Scanned object = read(id, entry, false);
        if (!entry || object.isPageTreeNode())
            continue;
        list(id, *entry);
        pending.insert(pending.end(), object.references.begin(), object.references.end());
    }
}

// The bytes of a dictionary entry's value.
std::string Selection::raw(const objectscan::Item& item) const
{
    if (item.to < item.from || item.to - item.from > MaxRaw)
        throw Unsuitable{};
    std::string text(size_t(item.to - item.from), '\0');
    in->seek(item.from, SEEK_SET);
    if (in->read(text.data(), text.size()) != text.size())
        throw Unsuitable{};
    return text;
}

// A dictionary written anew from the file's own bytes of its entries, but
// those named in leaveOut, after the text given.
std::string Selection::dictionary(const Scanned& scanned, std::string text,
                                  std::initializer_list<std::string_view> leaveOut) const
{
    for (const objectscan::Item& item : scanned.items) {
        if (std::find(leaveOut.begin(), leaveOut.end(), item.key) != leaveOut.end())
            continue;
        text += " " + item.key + " " + raw(item);
    }
    return text + " >>";
}

void Selection::rewrite(QPDFObjGen id, const Scanned& node, const std::vector<QPDFObjGen>& kids)
{
    std::string text = "<< /Kids [";
    for (const QPDFObjGen& kid : kids)
        text += " " + std::to_string(kid.getObj()) + " " + std::to_string(kid.getGen()) + " R";
    text += " ]";
    text = std::to_string(id.getObj()) + " " + std::to_string(id.getGen()) + " obj\n"
           + dictionary(node, text, {"/Kids"}) + "\nendobj\n";
    list(id, Entry{tables.fileSize() + added.size(), id.getGen()});
    added.append(QByteArray::fromStdString(text));
}

QByteArray Selection::tail() const
{
    QByteArray text = added;
    const qpdf_offset_t at = tables.fileSize() + text.size();
    text.append("xref\n0 1\n0000000000 65535 f\r\n");
    char line[64];
    for (const auto& [id, entry] : included) {
        std::snprintf(line, sizeof line, "%d 1\n%010lld %05d n\r\n", id.getObj(),
                      static_cast<long long>(entry.offset), entry.generation);
        text.append(line);
    }
    // The file's highest object number, as qpdf checks it against /Size.
    const Scanned& trailer = tables.trailer();
    const objectscan::Item* size = trailer.find("/Size");
    if (size && size->integer && *size->integer > 1 && *size->integer <= 0x7fffffff
        && (included.empty() || included.rbegin()->first.getObj() < *size->integer - 1)) {
        std::snprintf(line, sizeof line, "%lld 1\n0000000000 00001 f\r\n", static_cast<long long>(*size->integer - 1));
        text.append(line);
    }
    text.append("trailer\n");
    text.append(QByteArray::fromStdString(dictionary(trailer, "<<", {"/Prev"})));
    std::snprintf(line, sizeof line, "\nstartxref\n%lld\n%%%%EOF\n", static_cast<long long>(at));
    text.append(line);
    return text;
}

} // namespace quillary::shortread
