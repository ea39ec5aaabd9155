#pragma once

// Objects of a PDF read token by token, without making objects of them:
// enough to follow pages through a file without reading all of it.
// Internal to quillary_core; used by ShortRead.

#include <qpdf/InputSource.hh>
#include <qpdf/QPDFObjGen.hh>

#include <QtGlobal>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillary::objectscan {

constexpr int MaxDepth = 64;
constexpr size_t MaxKids = 64; // kids of a node looked at for page 1

// What the scan does not follow: the file is then read whole.
struct Unsuitable {};

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
    // The input it was read from, where the items' bytes are.
    std::shared_ptr<InputSource> source;
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

// Scans the object at the input's position (a stream's dictionary only).
// node: a page tree node, whose /Kids are read as far as maxKids.
// Throws Unsuitable for anything the scan does not follow.
Scanned scanObject(const std::shared_ptr<InputSource>& in, bool node, size_t maxKids = MaxKids);

// An integer token's value; a sign is allowed.
qint64 signedNumber(std::string text);

QPDFObjGen objGen(qint64 number, qint64 generation);

} // namespace quillary::objectscan
