#include "pdf/FirstPageInput.h"

#include "pdf/PdfInput.h"

#include <QByteArray>

#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFTokenizer.hh>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quillary {

namespace {

// Bounds for a hostile file: beyond them the file is opened whole, which
// has bounds of its own.
constexpr int MaxSections = 32;          // incremental updates
constexpr size_t MaxSubsections = 4096;   // all tables together: each lookup walks them
constexpr int MaxObjects = 20000;        // page 1 of a real document needs far fewer
constexpr int MaxNodes = 10000;          // page tree nodes looked at, as PageTreeHelper
constexpr int MaxDepth = 64;
constexpr size_t MaxKids = 64;            // kids of a node looked at for page 1
constexpr qpdf_offset_t EntrySize = 20;
constexpr qpdf_offset_t MaxRaw = 1 << 20;   // bytes of a dictionary entry copied

// The file does not lend itself to reading page 1 alone.
struct Unsuitable {};

struct Entry {
    qpdf_offset_t offset = 0;
    int generation = 0;
};

// One entry of a dictionary as the file writes it.
struct Item {
    std::string key;                 // as written
    qpdf_offset_t from = 0, to = 0;  // the value's bytes
    std::optional<QPDFObjGen> reference;
    std::optional<qint64> integer;
    std::string name;                // a name value, as qpdf reads it
};

// An object read token by token, without making objects of it: its
// dictionary's entries and the references it holds.
struct Scanned {
    bool dictionary = false;
    std::vector<Item> items;
    std::vector<QPDFObjGen> references; // all, but a dictionary's /Parent
    // A page tree node's /Kids, read by scanKids.
    bool hasKids = false;
    bool moreKids = false;
    std::vector<QPDFObjGen> kids;

    const Item* find(std::string_view key) const
    {
        for (const Item& item : items)
            if (item.key == key)
                return &item;
        return nullptr;
    }
    bool isPageTreeNode() const
    {
        const Item* type = find("/Type");
        return type && (type->name == "/Page" || type->name == "/Pages");
    }
};

class FirstPageIndex {
public:
    explicit FirstPageIndex(std::shared_ptr<InputSource> file) : in(std::move(file))
    {
        in->seek(0, SEEK_END);
        fileSize = in->tell();
    }

    QByteArray tail()
    {
        readSections(startxref());
        const Item* root = trailer.find("/Root");
        if (!root || !root->reference)
            throw Unsuitable{};
        std::optional<Entry> entry;
        const Scanned catalog = read(*root->reference, entry, false);
        if (!entry || !catalog.dictionary)
            throw Unsuitable{};
        list(*root->reference, *entry);
        if (const Item* encrypt = trailer.find("/Encrypt"); encrypt && encrypt->reference)
            follow({*encrypt->reference});
        const Item* pages = catalog.find("/Pages");
        if (!pages || !pages->reference || !firstLeaf(*pages->reference, 0))
            throw Unsuitable{};
        return table();
    }

private:
    // ---- the file's cross-reference tables ----

    struct Subsection {
        qint64 first = 0;
        qint64 count = 0;
        qpdf_offset_t entries = 0;
    };

    // The line at offset (leading white space skipped) and where the next
    // one starts.
    std::string lineAt(qpdf_offset_t offset, qpdf_offset_t& next, qpdf_offset_t* start = nullptr)
    {
        char buffer[256];
        in->seek(offset, SEEK_SET);
        const size_t length = in->read(buffer, sizeof buffer);
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

    qpdf_offset_t startxref()
    {
        // The last "startxref" within the file's last kilobyte.
        const qpdf_offset_t from = std::max<qpdf_offset_t>(0, fileSize - 1024);
        std::string end(size_t(fileSize - from), '\0');
        in->seek(from, SEEK_SET);
        end.resize(in->read(end.data(), end.size()));
        const size_t at = end.rfind("startxref");
        if (at == std::string::npos)
            throw Unsuitable{};
        qpdf_offset_t next = 0;
        const std::string number = lineAt(from + qpdf_offset_t(at) + 9, next);
        return nonNegative(number);
    }

    static qint64 nonNegative(std::string_view text)
    {
        qint64 value = -1;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size() || value < 0)
            throw Unsuitable{};
        return value;
    }

    // Reads the 20-byte entry at offset; false for anything else.
    bool entryAt(qpdf_offset_t offset, Entry& entry, bool& used)
    {
        char e[EntrySize];
        in->seek(offset, SEEK_SET);
        if (in->read(e, sizeof e) != sizeof e)
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

    void readSections(qpdf_offset_t offset)
    {
        std::set<qpdf_offset_t> seen;
        for (int section = 0;; ++section) {
            if (section >= MaxSections || offset >= fileSize || !seen.insert(offset).second)
                throw Unsuitable{};
            qpdf_offset_t next = 0;
            if (lineAt(offset, next) != "xref")
                throw Unsuitable{}; // a cross-reference stream, or no table there
            std::vector<Subsection> subsections;
            for (;;) {
                qpdf_offset_t start = 0;
                const std::string line = lineAt(next, next, &start);
                if (line.rfind("trailer", 0) == 0) {
                    in->seek(start + 7, SEEK_SET);
                    Scanned dictionary = scan(false);
                    if (!dictionary.dictionary || dictionary.find("/XRefStm"))
                        throw Unsuitable{};
                    tables.push_back(std::move(subsections));
                    const Item* previous = dictionary.find("/Prev");
                    const bool last = !previous;
                    if (previous && !previous->integer)
                        throw Unsuitable{};
                    if (previous)
                        offset = *previous->integer;
                    if (section == 0)
                        trailer = std::move(dictionary);
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
                if (sub.count > (fileSize - next) / EntrySize)
                    throw Unsuitable{};
                // Its first and last entries where 20-byte entries put them.
                Entry entry;
                bool used = false;
                if (sub.count > 0
                    && (!entryAt(next, entry, used) || !entryAt(next + (sub.count - 1) * EntrySize, entry, used)))
                    throw Unsuitable{};
                next += sub.count * EntrySize;
                subsections.push_back(sub);
            }
        }
    }

    // The newest entry of an object in use; nothing for a free or unknown one.
    std::optional<Entry> lookup(QPDFObjGen id)
    {
        for (const auto& table : tables) {
            for (const Subsection& sub : table) {
                const qint64 n = id.getObj();
                if (n < sub.first || n >= sub.first + sub.count)
                    continue;
                Entry entry;
                bool used = false;
                if (!entryAt(sub.entries + (n - sub.first) * EntrySize, entry, used))
                    throw Unsuitable{};
                if (!used || entry.generation != id.getGen())
                    return std::nullopt;
                return entry;
            }
        }
        return std::nullopt;
    }

    // ---- objects ----

    // The object the table lists for id, scanned; nothing in entry for an
    // object the file does not hold (it reads as null).
    Scanned read(QPDFObjGen id, std::optional<Entry>& entry, bool node)
    {
        entry = lookup(id);
        if (!entry)
            return {};
        in->seek(entry->offset, SEEK_SET);
        QPDFTokenizer tokenizer;
        const auto number = tokenizer.readToken(in, "object");
        const auto generation = tokenizer.readToken(in, "object");
        const auto keyword = tokenizer.readToken(in, "object");
        if (number.getType() != QPDFTokenizer::tt_integer || generation.getType() != QPDFTokenizer::tt_integer
            || keyword.getType() != QPDFTokenizer::tt_word || keyword.getValue() != "obj"
            || number.getValue() != std::to_string(id.getObj())
            || generation.getValue() != std::to_string(id.getGen()))
            throw Unsuitable{}; // the table points elsewhere: qpdf mends that reading the whole file
        return scan(node);
    }

    // Scans the object at the input's position (a stream's dictionary only).
    // node: a page tree node, whose /Kids are read by scanKids.
    Scanned scan(bool node)
    {
        Scanned s;
        QPDFTokenizer tokenizer;
        auto token = tokenizer.readToken(in, "object");
        int depth = 0;
        if (token.getType() == QPDFTokenizer::tt_dict_open)
            s.dictionary = true;
        else if (token.getType() != QPDFTokenizer::tt_array_open)
            return s; // a number, a name, ...: refers to nothing
        depth = 1;
        bool expectKey = s.dictionary;
        Item item;
        std::vector<std::pair<qint64, qpdf_offset_t>> numbers; // pending in a value
        // The two tokens before, for "n g R" inside values.
        QPDFTokenizer::Token before1, before2;
        auto finish = [&] {
            if (item.reference && item.key != "/Parent")
                s.references.push_back(*item.reference);
            s.items.push_back(std::move(item));
            item = Item{};
            expectKey = true;
        };
        for (;;) {
            token = tokenizer.readToken(in, "object");
            const auto type = token.getType();
            const qpdf_offset_t start = in->getLastOffset(), end = in->tell();
            if (type == QPDFTokenizer::tt_bad || type == QPDFTokenizer::tt_eof)
                throw Unsuitable{};
            if (s.dictionary && depth == 1 && !expectKey && !numbers.empty()) {
                if (type == QPDFTokenizer::tt_integer && numbers.size() == 1) {
                    numbers.emplace_back(signedNumber(token.getValue()), end);
                    continue;
                }
                if (type == QPDFTokenizer::tt_word && token.getValue() == "R" && numbers.size() == 2) {
                    item.reference = objGen(numbers[0].first, numbers[1].first);
                    item.to = end;
                    numbers.clear();
                    finish();
                    continue;
                }
                if (numbers.size() != 1)
                    throw Unsuitable{};
                item.integer = numbers[0].first;
                item.to = numbers[0].second;
                numbers.clear();
                finish(); // and the token begins the next entry
            }
            if (s.dictionary && depth == 1 && expectKey) {
                if (type == QPDFTokenizer::tt_dict_close)
                    return s;
                if (type != QPDFTokenizer::tt_name)
                    throw Unsuitable{};
                item.key = token.getRawValue();
                expectKey = false;
                if (node && token.getValue() == "/Kids" && !s.hasKids) {
                    const qpdf_offset_t after = in->tell();
                    if (tokenizer.readToken(in, "object").getType() == QPDFTokenizer::tt_array_open) {
                        s.hasKids = true;
                        item.from = in->getLastOffset();
                        scanKids(s.kids, s.moreKids);
                        item.to = in->tell();
                        finish();
                        continue;
                    }
                    in->seek(after, SEEK_SET);
                }
                continue;
            }
            if (s.dictionary && depth == 1) { // a value begins
                item.from = start;
                if (type == QPDFTokenizer::tt_integer) {
                    numbers.emplace_back(signedNumber(token.getValue()), end);
                    continue;
                }
                if (type == QPDFTokenizer::tt_dict_open || type == QPDFTokenizer::tt_array_open) {
                    depth = 2;
                    before1 = before2 = {};
                    continue;
                }
                if (type == QPDFTokenizer::tt_dict_close || type == QPDFTokenizer::tt_array_close
                    || type == QPDFTokenizer::tt_brace_open || type == QPDFTokenizer::tt_brace_close
                    || type == QPDFTokenizer::tt_word)
                    throw Unsuitable{};
                if (type == QPDFTokenizer::tt_name)
                    item.name = token.getValue();
                item.to = end;
                finish();
                continue;
            }
            // Inside a value (or an array object): references only.
            if (type == QPDFTokenizer::tt_dict_open || type == QPDFTokenizer::tt_array_open) {
                if (++depth > MaxDepth)
                    throw Unsuitable{};
            } else if (type == QPDFTokenizer::tt_dict_close || type == QPDFTokenizer::tt_array_close) {
                if (--depth == (s.dictionary ? 1 : 0)) {
                    if (!s.dictionary)
                        return s;
                    item.to = end;
                    finish();
                    continue;
                }
            } else if (type == QPDFTokenizer::tt_word && token.getValue() == "R"
                       && before1.getType() == QPDFTokenizer::tt_integer
                       && before2.getType() == QPDFTokenizer::tt_integer) {
                s.references.push_back(objGen(signedNumber(before2.getValue()), signedNumber(before1.getValue())));
            }
            before2 = before1;
            before1 = token;
        }
    }

    // An integer token's value; a sign is allowed.
    static qint64 signedNumber(std::string text)
    {
        if (!text.empty() && text[0] == '+')
            text.erase(0, 1);
        qint64 value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size())
            throw Unsuitable{};
        return value;
    }

    static QPDFObjGen objGen(qint64 number, qint64 generation)
    {
        if (number <= 0 || number > 0x7fffffff || generation > 65535)
            throw Unsuitable{};
        return QPDFObjGen(int(number), int(generation));
    }

    // The references of a /Kids array up to its "]", read byte by byte:
    // numbers, R and white space only; anything else is left to qpdf.
    void scanKids(std::vector<QPDFObjGen>& kids, bool& moreKids)
    {
        qpdf_offset_t at = in->tell();
        std::vector<qint64> numbers;
        qint64 current = -1;
        char buffer[65536];
        for (;;) {
            in->seek(at, SEEK_SET);
            const size_t length = in->read(buffer, sizeof buffer);
            if (length == 0)
                throw Unsuitable{};
            for (size_t i = 0; i < length; ++i) {
                const char c = buffer[i];
                if (c >= '0' && c <= '9') {
                    current = (current < 0 ? 0 : current) * 10 + (c - '0');
                    if (current > 0x7fffffff)
                        throw Unsuitable{};
                    continue;
                }
                if (current >= 0) {
                    numbers.push_back(current);
                    current = -1;
                }
                if (c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0')
                    continue;
                if (c == 'R' && numbers.size() == 2) {
                    if (kids.size() < MaxKids)
                        kids.push_back(objGen(numbers[0], numbers[1]));
                    else
                        moreKids = true;
                    numbers.clear();
                    continue;
                }
                if (c == ']' && numbers.empty()) {
                    in->seek(at + qpdf_offset_t(i) + 1, SEEK_SET);
                    return;
                }
                throw Unsuitable{};
            }
            at += qpdf_offset_t(length);
        }
    }

    void list(QPDFObjGen id, const Entry& entry)
    {
        if (included.size() >= size_t(MaxObjects))
            throw Unsuitable{};
        included[id] = entry;
    }

    // Everything the references lead to, but other pages and page tree
    // nodes: what points there (a link to another page, say) reads as null.
    void follow(std::vector<QPDFObjGen> pending)
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

    // The page tree walked as PageTreeHelper walks it: depth first, kids in
    // order, the first leaf wins. Every node looked at is listed with what it
    // refers to (but its kids and parent), the first page with all it refers
    // to. A node with kids is written anew with its kids up to the one that
    // leads to page 1, so that qpdf reads no more of them either.
    bool firstLeaf(QPDFObjGen id, int depth)
    {
        if (depth > MaxDepth || --nodeBudget < 0)
            throw Unsuitable{};
        if (!walked.insert(id).second)
            return false; // a loop in the tree
        std::optional<Entry> entry;
        const Scanned node = read(id, entry, true);
        if (!entry)
            return false;
        if (!node.dictionary) {
            list(id, *entry);
            return false;
        }
        const Item* type = node.find("/Type");
        if (type && type->reference)
            throw Unsuitable{};
        if (node.find("/Kids") && !node.hasKids)
            throw Unsuitable{}; // kids held elsewhere: left to qpdf
        follow(node.references);
        if (!node.hasKids) {
            list(id, *entry);
            return !(type && type->name == "/Pages"); // a leaf, or an empty branch
        }
        for (size_t i = 0; i < node.kids.size(); ++i) {
            if (firstLeaf(node.kids[i], depth + 1)) {
                rewrite(id, node, {node.kids.begin(), node.kids.begin() + qsizetype(i) + 1});
                return true;
            }
        }
        if (node.moreKids)
            throw Unsuitable{};
        rewrite(id, node, node.kids);
        return false;
    }

    // The bytes of a dictionary entry's value.
    std::string raw(const Item& item)
    {
        if (item.to < item.from || item.to - item.from > MaxRaw)
            throw Unsuitable{};
        std::string text(size_t(item.to - item.from), '\0');
        in->seek(item.from, SEEK_SET);
        if (in->read(text.data(), text.size()) != text.size())
            throw Unsuitable{};
        return text;
    }

    // A dictionary written anew from the file's own bytes of its entries,
    // but those named in leaveOut, after the text given.
    std::string dictionary(const Scanned& scanned, std::string text, std::initializer_list<std::string_view> leaveOut)
    {
        for (const Item& item : scanned.items) {
            if (std::find(leaveOut.begin(), leaveOut.end(), item.key) != leaveOut.end())
                continue;
            text += " " + item.key + " " + raw(item);
        }
        return text + " >>";
    }

    // A node written into the added section, with the kids given.
    void rewrite(QPDFObjGen id, const Scanned& node, const std::vector<QPDFObjGen>& kids)
    {
        std::string text = "<< /Kids [";
        for (const QPDFObjGen& kid : kids)
            text += " " + std::to_string(kid.getObj()) + " " + std::to_string(kid.getGen()) + " R";
        text += " ]";
        text = std::to_string(id.getObj()) + " " + std::to_string(id.getGen()) + " obj\n"
               + dictionary(node, text, {"/Kids"}) + "\nendobj\n";
        list(id, Entry{fileSize + added.size(), id.getGen()});
        added.append(QByteArray::fromStdString(text));
    }

    // ---- the small table ----

    QByteArray table()
    {
        QByteArray text = added;
        const qpdf_offset_t at = fileSize + text.size();
        text.append("xref\n0 1\n0000000000 65535 f\r\n");
        char line[64];
        for (const auto& [id, entry] : included) {
            std::snprintf(line, sizeof line, "%d 1\n%010lld %05d n\r\n", id.getObj(),
                          static_cast<long long>(entry.offset), entry.generation);
            text.append(line);
        }
        // The file's highest object number, as qpdf checks it against /Size.
        const Item* size = trailer.find("/Size");
        if (size && size->integer && *size->integer > 1 && *size->integer <= 0x7fffffff
            && (included.empty() || included.rbegin()->first.getObj() < *size->integer - 1)) {
            std::snprintf(line, sizeof line, "%lld 1\n0000000000 00001 f\r\n",
                          static_cast<long long>(*size->integer - 1));
            text.append(line);
        }
        text.append("trailer\n");
        text.append(QByteArray::fromStdString(dictionary(trailer, "<<", {"/Prev"})));
        std::snprintf(line, sizeof line, "\nstartxref\n%lld\n%%%%EOF\n", static_cast<long long>(at));
        text.append(line);
        return text;
    }

    std::shared_ptr<InputSource> in;
    qpdf_offset_t fileSize = 0;
    std::vector<std::vector<Subsection>> tables; // newest first
    size_t subsectionCount = 0;
    Scanned trailer;
    std::map<QPDFObjGen, Entry> included;
    std::set<QPDFObjGen> looked;
    std::set<QPDFObjGen> walked;
    int nodeBudget = MaxNodes;
    // Written after the file's own end, which may lack a line end.
    QByteArray added{"\n"};
};

} // namespace

std::shared_ptr<InputSource> firstPageInput(std::shared_ptr<InputSource> file)
{
    try {
        FirstPageIndex index(file);
        QByteArray tail = index.tail();
        return openInputSource(std::move(file), std::move(tail));
    } catch (const Unsuitable&) {
        return nullptr;
    } catch (const std::exception&) {
        // Whatever qpdf's tokenizer or the file found wrong is said again
        // when the file is read whole.
        return nullptr;
    }
}

} // namespace quillary
