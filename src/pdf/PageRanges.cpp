#include "pdf/PageRanges.h"

#include "pdf/PdfInput.h"

#include <algorithm>

namespace quillary {

using namespace shortread;

namespace {

constexpr size_t MaxPages = 1'000'000;
constexpr size_t MaxNodes = 100'000;
constexpr size_t MaxKids = 1'000'000;        // of one node
constexpr int MaxObjects = 20000;             // as for page 1, and per page of a range:
constexpr int MaxObjectsPerPage = 200;

} // namespace

std::shared_ptr<const PageRanges> PageRanges::index(const std::shared_ptr<InputSource>& file,
                                                    const std::shared_ptr<InputSource>& table)
{
    try {
        std::shared_ptr<PageRanges> ranges(new PageRanges(file));
        ObjectReader reader(ranges->tables, file, table);
        const Scanned& trailer = ranges->tables.trailer();
        const objectscan::Item* root = trailer.find("/Root");
        if (!root || !root->reference)
            return nullptr;
        const auto entry = reader.lookup(*root->reference);
        if (!entry)
            return nullptr;
        const Scanned catalog = reader.read(*root->reference, *entry, false);
        const objectscan::Item* pages = catalog.find("/Pages");
        if (!catalog.dictionary || !pages || !pages->reference)
            return nullptr;
        ranges->root = *root->reference;
        ranges->rootEntry = *entry;
        std::set<QPDFObjGen> seen;
        ranges->walk(reader, *pages->reference, -1, 0, seen);
        return ranges;
    } catch (const Unsuitable&) {
        return nullptr;
    } catch (const std::exception&) {
        return nullptr; // said again when the file is read whole
    }
}

// Depth first, kids in order, as qpdf lists pages. Whatever qpdf would mend
// (and warn about) is declined, so that the pages found here are the pages
// qpdf finds.
void PageRanges::walk(ObjectReader& reader, QPDFObjGen id, int parent, int depth, std::set<QPDFObjGen>& seen)
{
    if (depth > objectscan::MaxDepth || !seen.insert(id).second)
        throw Unsuitable{}; // a loop, or a page listed twice
    const auto entry = reader.lookup(id);
    if (!entry)
        throw Unsuitable{};
    const Scanned node = reader.read(id, *entry, true, MaxKids);
    const objectscan::Item* type = node.find("/Type");
    if (!node.dictionary || (type && type->reference) || node.moreKids || (node.find("/Kids") && !node.hasKids))
        throw Unsuitable{};
    if (!node.hasKids) {
        // A page as the root of the tree: qpdf lists no page there.
        if (depth == 0 || !type || type->name != "/Page" || leaves.size() >= MaxPages)
            throw Unsuitable{};
        leaves.push_back({id, *entry, parent});
        return;
    }
    if (nodes.size() >= MaxNodes || (type && type->name != "/Pages"))
        throw Unsuitable{};
    nodes.push_back({id, *entry, parent});
    const int self = int(nodes.size() - 1);
    for (const QPDFObjGen& kid : node.kids)
        walk(reader, kid, self, depth + 1, seen);
}

std::shared_ptr<InputSource> PageRanges::input(const std::shared_ptr<InputSource>& file,
                                               const std::shared_ptr<InputSource>& table, int first, int count) const
{
    if (first < 0 || count <= 0 || first > pageCount() - count)
        return nullptr;
    try {
        file->seek(0, SEEK_END);
        if (file->tell() != tables.fileSize())
            return nullptr; // changed since it was indexed
        ObjectReader reader(tables, file, table);
        Selection selection(reader, MaxObjects + MaxObjectsPerPage * count);
        if (!reader.read(root, rootEntry, false).dictionary)
            return nullptr;
        selection.list(root, rootEntry);
        if (const objectscan::Item* encrypt = tables.trailer().find("/Encrypt"); encrypt && encrypt->reference)
            selection.follow({*encrypt->reference});

        // The nodes above the range, and what each keeps of its kids.
        std::vector<bool> above(nodes.size());
        std::set<QPDFObjGen> kept;
        for (int i = first; i < first + count; ++i) {
            kept.insert(leaves[size_t(i)].id);
            for (int p = leaves[size_t(i)].parent; p >= 0 && !above[size_t(p)]; p = nodes[size_t(p)].parent) {
                above[size_t(p)] = true;
                kept.insert(nodes[size_t(p)].id);
            }
        }
        for (size_t n = 0; n < nodes.size(); ++n) {
            if (!above[n])
                continue;
            const Scanned node = reader.read(nodes[n].id, nodes[n].entry, true, MaxKids);
            if (!node.hasKids || node.moreKids)
                return nullptr;
            selection.follow(node.references);
            std::vector<QPDFObjGen> kids;
            std::copy_if(node.kids.begin(), node.kids.end(), std::back_inserter(kids),
                         [&kept](const QPDFObjGen& kid) { return kept.contains(kid); });
            selection.rewrite(nodes[n].id, node, kids);
        }
        for (int i = first; i < first + count; ++i) {
            const Place& leaf = leaves[size_t(i)];
            const Scanned page = reader.read(leaf.id, leaf.entry, true);
            selection.follow(page.references);
            selection.list(leaf.id, leaf.entry);
        }
        return openInputSource(file, selection.tail());
    } catch (const Unsuitable&) {
        return nullptr;
    } catch (const std::exception&) {
        return nullptr;
    }
}

} // namespace quillary
