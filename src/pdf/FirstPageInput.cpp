#include "pdf/FirstPageInput.h"

#include "pdf/PdfInput.h"
#include "pdf/ShortRead.h"

#include <set>

namespace quillary {

using namespace shortread;

namespace {

constexpr int MaxObjects = 20000; // page 1 of a real document needs far fewer
constexpr int MaxNodes = 10000;   // page tree nodes looked at, as PageTreeHelper

class FirstPageIndex {
public:
    explicit FirstPageIndex(std::shared_ptr<InputSource> file)
        : in(std::move(file))
        , tables(in)
        , reader(tables, in)
        , selection(reader, MaxObjects)
    {
    }

    QByteArray tail()
    {
        const Scanned& trailer = tables.trailer();
        const objectscan::Item* root = trailer.find("/Root");
        if (!root || !root->reference)
            throw Unsuitable{};
        std::optional<Entry> entry;
        const Scanned catalog = selection.read(*root->reference, entry, false);
        if (!entry || !catalog.dictionary)
            throw Unsuitable{};
        selection.list(*root->reference, *entry);
        if (const objectscan::Item* encrypt = trailer.find("/Encrypt"); encrypt && encrypt->reference)
            selection.follow({*encrypt->reference});
        const objectscan::Item* pages = catalog.find("/Pages");
        if (!pages || !pages->reference || !firstLeaf(*pages->reference, 0))
            throw Unsuitable{};
        return selection.tail();
    }

private:
    // The page tree walked as PageTreeHelper walks it: depth first, kids in
    // order, the first leaf wins. Every node looked at is listed with what it
    // refers to (but its kids and parent), the first page with all it refers
    // to. A node with kids is written anew with its kids up to the one that
    // leads to page 1, so that qpdf reads no more of them either.
    bool firstLeaf(QPDFObjGen id, int depth)
    {
        if (depth > objectscan::MaxDepth || --nodeBudget < 0)
            throw Unsuitable{};
        if (!walked.insert(id).second)
            return false; // a loop in the tree
        std::optional<Entry> entry;
        const Scanned node = selection.read(id, entry, true);
        if (!entry)
            return false;
        if (!node.dictionary) {
            selection.list(id, *entry);
            return false;
        }
        const objectscan::Item* type = node.find("/Type");
        if (type && type->reference)
            throw Unsuitable{};
        if (node.find("/Kids") && !node.hasKids)
            throw Unsuitable{}; // kids held elsewhere: left to qpdf
        selection.follow(node.references);
        if (!node.hasKids) {
            selection.list(id, *entry);
            return !(type && type->name == "/Pages"); // a leaf, or an empty branch
        }
        for (size_t i = 0; i < node.kids.size(); ++i) {
            if (firstLeaf(node.kids[i], depth + 1)) {
                selection.rewrite(id, node, {node.kids.begin(), node.kids.begin() + qsizetype(i) + 1});
                return true;
            }
        }
        if (node.moreKids)
            throw Unsuitable{};
        selection.rewrite(id, node, node.kids);
        return false;
    }

    std::shared_ptr<InputSource> in;
    XrefTables tables;
    ObjectReader reader;
    Selection selection;
    std::set<QPDFObjGen> walked;
    int nodeBudget = MaxNodes;
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
