#include "pdf/ShortRead.h"

#include "pdf/PdfInput.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
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
constexpr size_t MaxDecoded = 64 << 20;     // of a table stream or an object stream
constexpr size_t KeptObjectStreams = 4;

// Keys of a table stream's dictionary that describe the stream alone.
constexpr std::string_view StreamKeys[] = {"/Type", "/W", "/Index", "/Filter", "/DecodeParms", "/Length",
                                           "/Size", "/Prev", "/XRefStm", "/DL"};

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

std::string bytesAt(InputSource& in, qpdf_offset_t from, qpdf_offset_t length)
{
    std::string text(size_t(length), '\0');
    in.seek(from, SEEK_SET);
    if (in.read(text.data(), text.size()) != text.size())
        throw Unsuitable{};
    return text;
}

// The value of a dictionary entry written directly (no reference), as
// qpdf reads it; null when the entry is missing.
QPDFObjectHandle directValue(const Scanned& dictionary, std::string_view key)
{
    const objectscan::Item* item = dictionary.find(key);
    if (!item)
        return QPDFObjectHandle::newNull();
    if (item->reference || item->to < item->from || item->to - item->from > MaxRaw)
        throw Unsuitable{};
    return QPDFObjectHandle::parse(bytesAt(*dictionary.source, item->from, item->to - item->from));
}

// A pipeline that keeps at most MaxDecoded bytes.
class Bounded : public Pipeline {
public:
    Bounded() : Pipeline("decoded", nullptr) {}
    void write(unsigned char const* data, size_t length) override
    {
        if (length > MaxDecoded - std::min(kept.size(), MaxDecoded))
            throw Unsuitable{};
        kept.append(reinterpret_cast<const char*>(data), length);
    }
    void finish() override {}
    std::string kept;
};

// The data of the stream whose dictionary was just read from in: the
// "stream" keyword, then /Length bytes (a direct number), decoded by qpdf's
// own filters.
std::string streamData(const std::shared_ptr<InputSource>& in, const Scanned& dictionary, qpdf_offset_t fileSize)
{
    QPDFTokenizer tokenizer;
    const auto keyword = tokenizer.readToken(in, "stream");
    if (keyword.getType() != QPDFTokenizer::tt_word || keyword.getValue() != "stream")
        throw Unsuitable{};
    char eol[2] = {};
    qpdf_offset_t start = in->tell();
    in->read(eol, 2);
    start += eol[0] == '\r' && eol[1] == '\n' ? 2 : eol[0] == '\n' ? 1 : -start - 1;
    const objectscan::Item* length = dictionary.find("/Length");
    if (start < 0 || !length || !length->integer || *length->integer < 0 || *length->integer > fileSize - start
        || *length->integer > qint64(MaxDecoded))
        throw Unsuitable{};
    const std::string raw = bytesAt(*in, start, *length->integer);
    // Where the length is wrong, qpdf finds the data anew (and warns).
    if (!tokenizer.readToken(in, "stream").isWord("endstream") || !tokenizer.readToken(in, "stream").isWord("endobj"))
        throw Unsuitable{};
    QPDF scratch;
    scratch.emptyPDF();
    QPDFObjectHandle stream = QPDFObjectHandle::newStream(&scratch);
    stream.replaceStreamData(raw, directValue(dictionary, "/Filter"), directValue(dictionary, "/DecodeParms"));
    Bounded decoded;
    if (!stream.pipeStreamData(&decoded, 0, qpdf_dl_generalized, true, false))
        throw Unsuitable{};
    return std::move(decoded.kept);
}

// Reads "number generation obj" at offset; the number and generation.
std::pair<qint64, qint64> objectHeader(const std::shared_ptr<InputSource>& in, qpdf_offset_t offset)
{
    in->seek(offset, SEEK_SET);
    QPDFTokenizer tokenizer;
    const auto number = tokenizer.readToken(in, "object");
    const auto generation = tokenizer.readToken(in, "object");
    const auto keyword = tokenizer.readToken(in, "object");
    if (number.getType() != QPDFTokenizer::tt_integer || generation.getType() != QPDFTokenizer::tt_integer
        || keyword.getType() != QPDFTokenizer::tt_word || keyword.getValue() != "obj")
        throw Unsuitable{};
    return {nonNegative(number.getValue()), nonNegative(generation.getValue())};
}

qint64 directInteger(const Scanned& dictionary, std::string_view key)
{
    const objectscan::Item* item = dictionary.find(key);
    if (!item || !item->integer || *item->integer < 0)
        throw Unsuitable{};
    return *item->integer;
}

} // namespace

XrefTables::XrefTables(const std::shared_ptr<InputSource>& in)
{
    in->seek(0, SEEK_END);
    size = in->tell();
    qpdf_offset_t offset = startxref(*in, size);
    std::set<qpdf_offset_t> seen;
    for (int section = 0;; ++section) {
        if (section >= MaxSections || offset >= size || !seen.insert(offset).second)
            throw Unsuitable{};
        qpdf_offset_t next = 0;
        const bool classic = lineAt(*in, offset, next) == "xref";
        if (section == 0)
            streams = !classic;
        else if (classic == streams)
            throw Unsuitable{}; // tables of both kinds
        Table table;
        Scanned trailerRead;
        const qpdf_offset_t previous = classic ? readClassic(*in, next, table, trailerRead)
                                               : readStream(in, offset, table, trailerRead);
        tables.push_back(std::move(table));
        if (section == 0)
            newestTrailer = std::move(trailerRead);
        if (previous < 0)
            break;
        offset = previous;
    }
    if (streams && newestTrailer.find("/Encrypt"))
        throw Unsuitable{}; // object streams would have to be decrypted here
    const objectscan::Item* declared = newestTrailer.find("/Size");
    sizeEntry = declared && declared->integer ? *declared->integer : 0;
    for (const objectscan::Item& item : newestTrailer.items) {
        const bool streamKey = std::find(std::begin(StreamKeys), std::end(StreamKeys), item.key) != std::end(StreamKeys);
        if (streamKey && (streams || item.key == "/Prev" || item.key == "/Size"))
            continue;
        if (item.to < item.from || item.to - item.from > MaxRaw)
            throw Unsuitable{};
        entries += " " + item.key + " " + bytesAt(*in, item.from, item.to - item.from);
    }
    newestTrailer.source.reset(); // its offsets are not read again
}

qpdf_offset_t XrefTables::readClassic(InputSource& in, qpdf_offset_t next, Table& table, Scanned& trailerRead)
{
    for (;;) {
        qpdf_offset_t start = 0;
        const std::string line = lineAt(in, next, next, &start);
        if (line.rfind("trailer", 0) == 0) {
            in.seek(start + 7, SEEK_SET);
            // scanObject takes qpdf's shared pointer; this one owns nothing.
            trailerRead = objectscan::scanObject(std::shared_ptr<InputSource>(std::shared_ptr<void>(), &in), false);
            if (!trailerRead.dictionary || trailerRead.find("/XRefStm"))
                throw Unsuitable{}; // a hybrid file: left to qpdf
            const objectscan::Item* previous = trailerRead.find("/Prev");
            if (previous && !previous->integer)
                throw Unsuitable{};
            return previous ? *previous->integer : -1;
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
        table.subsections.push_back(sub);
    }
}

qpdf_offset_t XrefTables::readStream(const std::shared_ptr<InputSource>& in, qpdf_offset_t offset, Table& table,
                                     Scanned& trailerRead)
{
    objectHeader(in, offset);
    trailerRead = objectscan::scanObject(in, false);
    const objectscan::Item* type = trailerRead.find("/Type");
    if (!trailerRead.dictionary || !type || type->name != "/XRef")
        throw Unsuitable{};
    const std::string data = streamData(in, trailerRead, size);
    QPDFObjectHandle widths = directValue(trailerRead, "/W");
    if (!widths.isArray() || widths.getArrayNItems() != 3)
        throw Unsuitable{};
    int row = 0;
    for (int i = 0; i < 3; ++i) {
        QPDFObjectHandle width = widths.getArrayItem(i);
        if (!width.isInteger() || width.getIntValue() < 0 || width.getIntValue() > 8)
            throw Unsuitable{};
        table.widths[size_t(i)] = int(width.getIntValue());
        row += table.widths[size_t(i)];
    }
    if (row == 0 || table.widths[1] == 0)
        throw Unsuitable{};
    QPDFObjectHandle index = directValue(trailerRead, "/Index");
    std::vector<qint64> ranges;
    if (index.isNull()) {
        ranges = {0, directInteger(trailerRead, "/Size")};
    } else {
        if (!index.isArray() || index.getArrayNItems() % 2 != 0 || index.getArrayNItems() < 2)
            throw Unsuitable{};
        for (QPDFObjectHandle number : index.getArrayAsVector()) {
            if (!number.isInteger() || number.getIntValue() < 0)
                throw Unsuitable{};
            ranges.push_back(number.getIntValue());
        }
    }
    qpdf_offset_t at = 0;
    for (size_t i = 0; i < ranges.size(); i += 2) {
        if (++subsectionCount > MaxSubsections || ranges[i + 1] > qint64(data.size()) / row
            || at > qint64(data.size()) - ranges[i + 1] * row)
            throw Unsuitable{};
        table.subsections.push_back({ranges[i], ranges[i + 1], at});
        at += ranges[i + 1] * row;
    }
    // qpdf reads every entry at once: data of another size than the entries
    // take, or an entry of an unknown type, makes it rebuild the table.
    if (at != qpdf_offset_t(data.size()))
        throw Unsuitable{};
    if (table.widths[0] > 0) {
        for (size_t entry = 0; entry < data.size(); entry += size_t(row)) {
            quint64 type = 0;
            for (int b = 0; b < table.widths[0]; ++b)
                type = (type << 8) | static_cast<unsigned char>(data[entry + size_t(b)]);
            if (type > 2)
                throw Unsuitable{};
        }
    }
    table.data = data;
    const objectscan::Item* previous = trailerRead.find("/Prev");
    if (previous && !previous->integer)
        throw Unsuitable{};
    return previous ? *previous->integer : -1;
}

std::optional<Entry> XrefTables::lookup(InputSource& in, QPDFObjGen id) const
{
    const qint64 n = id.getObj();
    for (const Table& table : tables) {
        for (const Subsection& sub : table.subsections) {
            if (n < sub.first || n >= sub.first + sub.count)
                continue;
            Entry entry;
            if (!streams) {
                bool used = false;
                if (!entryAt(in, sub.entries + (n - sub.first) * EntrySize, entry, used))
                    throw Unsuitable{};
                if (!used)
                    return std::nullopt;
                if (entry.generation != id.getGen())
                    throw Unsuitable{}; // qpdf may find the other generation in an older table
                return entry;
            }
            const int row = table.widths[0] + table.widths[1] + table.widths[2];
            const unsigned char* bytes =
                reinterpret_cast<const unsigned char*>(table.data.data()) + sub.entries + (n - sub.first) * row;
            quint64 fields[3] = {1, 0, 0}; // the type is 1 when its field is left out
            for (int f = 0; f < 3; ++f) {
                if (table.widths[size_t(f)] == 0)
                    continue;
                fields[f] = 0;
                for (int b = 0; b < table.widths[size_t(f)]; ++b)
                    fields[f] = (fields[f] << 8) | *bytes++;
            }
            if (fields[0] == 0)
                return std::nullopt; // free
            if (fields[0] == 1 && fields[1] < quint64(size) && fields[2] <= 65535 && int(fields[2]) == id.getGen())
                return Entry{qpdf_offset_t(fields[1]), int(fields[2]), 0, 0};
            if (fields[0] == 2 && id.getGen() == 0 && fields[1] > 0 && fields[1] <= 0x7fffffff
                && fields[2] <= 0x7fffffff)
                return Entry{0, 0, int(fields[1]), int(fields[2])};
            throw Unsuitable{}; // another generation, or an entry qpdf reads otherwise
        }
    }
    return std::nullopt;
}

ObjectReader::ObjectReader(const XrefTables& tables, std::shared_ptr<InputSource> file,
                           std::shared_ptr<InputSource> tableIn)
    : xref(tables)
    , file(std::move(file))
    , tableIn(tableIn ? std::move(tableIn) : this->file)
{
}

Scanned ObjectReader::read(QPDFObjGen id, const Entry& entry, bool node, size_t maxKids)
{
    if (entry.stream == 0) {
        const auto [number, generation] = objectHeader(file, entry.offset);
        if (number != id.getObj() || generation != id.getGen())
            throw Unsuitable{}; // the table points elsewhere: qpdf mends that reading the whole file
        return objectscan::scanObject(file, node, maxKids);
    }
    std::vector<qpdf_offset_t> offsets;
    auto data = objectStream(entry.stream, offsets);
    const Decoded& stream = decoded.front();
    if (entry.index < 0 || size_t(entry.index) >= offsets.size() || stream.numbers[size_t(entry.index)] != id.getObj())
        throw Unsuitable{};
    data->seek(offsets[size_t(entry.index)], SEEK_SET);
    return objectscan::scanObject(data, node, maxKids);
}

std::shared_ptr<InputSource> ObjectReader::objectStream(int number, std::vector<qpdf_offset_t>& offsets)
{
    for (auto it = decoded.begin(); it != decoded.end(); ++it) {
        if (it->number == number) {
            decoded.splice(decoded.begin(), decoded, it);
            offsets = decoded.front().offsets;
            return decoded.front().data;
        }
    }
    const auto entry = lookup(QPDFObjGen(number, 0));
    if (!entry || entry->stream != 0)
        throw Unsuitable{};
    const auto [n, g] = objectHeader(file, entry->offset);
    if (n != number || g != 0)
        throw Unsuitable{};
    const Scanned dictionary = objectscan::scanObject(file, false);
    const objectscan::Item* type = dictionary.find("/Type");
    if (!dictionary.dictionary || !type || type->name != "/ObjStm")
        throw Unsuitable{};
    const qint64 count = directInteger(dictionary, "/N"), first = directInteger(dictionary, "/First");
    const std::string data = streamData(file, dictionary, xref.fileSize());
    if (first > qint64(data.size()) || count > qint64(data.size()) / 2)
        throw Unsuitable{};
    Decoded stream;
    stream.number = number;
    stream.data = openInputSource(QStringLiteral("object stream %1").arg(number), QByteArray::fromStdString(data));
    QPDFTokenizer tokenizer;
    stream.data->seek(0, SEEK_SET);
    for (qint64 i = 0; i < count; ++i) {
        const auto object = tokenizer.readToken(stream.data, "object stream");
        const auto offset = tokenizer.readToken(stream.data, "object stream");
        if (object.getType() != QPDFTokenizer::tt_integer || offset.getType() != QPDFTokenizer::tt_integer)
            throw Unsuitable{};
        const qint64 number = nonNegative(object.getValue()), at = nonNegative(offset.getValue());
        if (number > 0x7fffffff || at > qint64(data.size()) - first)
            throw Unsuitable{};
        stream.numbers.push_back(int(number));
        stream.offsets.push_back(first + at);
    }
    decoded.push_front(std::move(stream));
    if (decoded.size() > KeptObjectStreams)
        decoded.pop_back();
    offsets = decoded.front().offsets;
    return decoded.front().data;
}

std::string ObjectReader::raw(const Scanned& scanned, const objectscan::Item& item)
{
    if (!scanned.source || item.to < item.from || item.to - item.from > MaxRaw)
        throw Unsuitable{};
    return bytesAt(*scanned.source, item.from, item.to - item.from);
}

Scanned Selection::read(QPDFObjGen id, std::optional<Entry>& entry, bool node, size_t maxKids)
{
    entry = reader.lookup(id);
    if (!entry)
        return {};
    return reader.read(id, *entry, node, maxKids);
}

void Selection::list(QPDFObjGen id, const Entry& entry)
{
    if (included.size() >= size_t(maxObjects))
        throw Unsuitable{};
    included[id] = entry;
    // qpdf finds an object of an object stream through the stream.
    if (entry.stream != 0 && !included.contains(QPDFObjGen(entry.stream, 0))) {
        const auto stream = reader.lookup(QPDFObjGen(entry.stream, 0));
        if (!stream || stream->stream != 0)
            throw Unsuitable{};
        list(QPDFObjGen(entry.stream, 0), *stream);
    }
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

void Selection::rewrite(QPDFObjGen id, const Scanned& node, const std::vector<QPDFObjGen>& kids)
{
    std::string text = "<< /Kids [";
    for (const QPDFObjGen& kid : kids)
        text += " " + std::to_string(kid.getObj()) + " " + std::to_string(kid.getGen()) + " R";
    text += " ]";
    for (const objectscan::Item& item : node.items)
        if (item.key != "/Kids")
            text += " " + item.key + " " + reader.raw(node, item);
    text = std::to_string(id.getObj()) + " " + std::to_string(id.getGen()) + " obj\n" + text + " >>\nendobj\n";
    list(id, Entry{reader.tables().fileSize() + added.size(), id.getGen(), 0, 0});
    added.append(QByteArray::fromStdString(text));
}

QByteArray Selection::tail() const
{
    const qpdf_offset_t at = reader.tables().fileSize() + added.size();
    return added + (reader.tables().inStreams() ? streamTable(at) : classicTable(at));
}

QByteArray Selection::classicTable(qpdf_offset_t at) const
{
    QByteArray text("xref\n0 1\n0000000000 65535 f\r\n");
    char line[64];
    for (const auto& [id, entry] : included) {
        std::snprintf(line, sizeof line, "%d 1\n%010lld %05d n\r\n", id.getObj(),
                      static_cast<long long>(entry.offset), entry.generation);
        text.append(line);
    }
    // The file's highest object number, as qpdf checks it against /Size.
    const qint64 size = reader.tables().declaredSize();
    if (size > 1 && size <= 0x7fffffff && (included.empty() || included.rbegin()->first.getObj() < size - 1)) {
        std::snprintf(line, sizeof line, "%lld 1\n0000000000 00001 f\r\n", static_cast<long long>(size - 1));
        text.append(line);
    }
    const qint64 declared = size > 0 ? size : (included.empty() ? 1 : included.rbegin()->first.getObj() + 1);
    text.append("trailer\n<< /Size " + QByteArray::number(declared));
    text.append(QByteArray::fromStdString(reader.tables().trailerEntries()));
    std::snprintf(line, sizeof line, " >>\nstartxref\n%lld\n%%%%EOF\n", static_cast<long long>(at));
    text.append(line);
    return text;
}

// A table stream, unfiltered: type, then 8 bytes of offset or object stream
// number, then 4 of generation or index, for each object listed; the stream
// takes a number above every object's.
QByteArray Selection::streamTable(qpdf_offset_t at) const
{
    const qint64 highest = included.empty() ? 0 : included.rbegin()->first.getObj();
    const qint64 number = std::max(reader.tables().declaredSize(), highest + 1);
    if (number >= 0x7fffffff)
        throw Unsuitable{};
    QByteArray index, data;
    auto append = [&data](quint64 value, int width) {
        for (int b = width - 1; b >= 0; --b)
            data.append(char((value >> (8 * b)) & 0xff));
    };
    for (const auto& [id, entry] : included) {
        index += QByteArray::number(id.getObj()) + " 1 ";
        append(entry.stream ? 2 : 1, 1);
        append(entry.stream ? quint64(entry.stream) : quint64(entry.offset), 8);
        append(entry.stream ? quint64(entry.index) : quint64(entry.generation), 4);
    }
    // The stream lists itself, the highest number, as qpdf checks it
    // against /Size.
    index += QByteArray::number(number) + " 1";
    append(1, 1);
    append(quint64(at), 8);
    append(0, 4);
    QByteArray text = QByteArray::number(number) + " 0 obj\n<< /Type /XRef /Size " + QByteArray::number(number + 1)
                      + " /W [1 8 4] /Index [" + index + "] /Length " + QByteArray::number(data.size())
                      + QByteArray::fromStdString(reader.tables().trailerEntries()) + " >>\nstream\n";
    text += data + "\nendstream\nendobj\nstartxref\n" + QByteArray::number(at) + "\n%%EOF\n";
    return text;
}

} // namespace quillary::shortread
