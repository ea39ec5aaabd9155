#include "pdf/ObjectScan.h"

#include <qpdf/QPDFTokenizer.hh>

#include <charconv>

namespace quillary::objectscan {

qint64 signedNumber(std::string text)
{
    if (!text.empty() && text[0] == '+')
        text.erase(0, 1);
    qint64 value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        throw Unsuitable{};
    return value;
}

QPDFObjGen objGen(qint64 number, qint64 generation)
{
    if (number <= 0 || number > 0x7fffffff || generation > 65535)
        throw Unsuitable{};
    return QPDFObjGen(int(number), int(generation));
}

namespace {

// The references of a /Kids array up to its "]", read byte by byte:
// numbers, R and white space only; anything else is left to qpdf.
void scanKids(const std::shared_ptr<InputSource>& in, std::vector<QPDFObjGen>& kids, bool& moreKids, size_t maxKids)
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
                if (kids.size() < maxKids)
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

} // namespace

// Scans the object at the input's position (a stream's dictionary only).
// node: a page tree node, whose /Kids are read by scanKids.
Scanned scanObject(const std::shared_ptr<InputSource>& in, bool node, size_t maxKids)
{
    Scanned s;
    s.source = in;
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
                    scanKids(in, s.kids, s.moreKids, maxKids);
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

} // namespace quillary::objectscan
