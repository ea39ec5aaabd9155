#include "pdf/FirstPageInput.h"

#include "pdf/PdfInput.h"
#include "pdf/ShortRead.h"

#include <QFile>

#include <mutex>
#include <optional>
#include <set>

#include <sys/stat.h>

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

namespace {

// The added table, or nothing when the file does not lend itself to it.
std::optional<QByteArray> firstPageTail(const std::shared_ptr<InputSource>& file)
{
    try {
        FirstPageIndex index(file);
        return index.tail();
    } catch (const Unsuitable&) {
        return std::nullopt;
    } catch (const std::exception&) {
        // Whatever qpdf's tokenizer or the file found wrong is said again
        // when the file is read whole.
        return std::nullopt;
    }
}

struct Identity {
    QByteArray path;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec changed{};
    bool operator==(const Identity& o) const
    {
        return path == o.path && device == o.device && inode == o.inode && size == o.size
               && changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
    }
};

std::optional<Identity> identityOf(const QString& path)
{
    Identity identity;
    identity.path = QFile::encodeName(path);
    struct stat status {};
    if (::stat(identity.path.constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    identity.device = status.st_dev;
    identity.inode = status.st_ino;
    identity.size = status.st_size;
    identity.changed = status.st_ctim;
    return identity;
}

std::mutex lastMutex;
std::optional<std::pair<Identity, std::optional<QByteArray>>> last;

} // namespace

std::shared_ptr<InputSource> firstPageInput(std::shared_ptr<InputSource> file)
{
    std::optional<QByteArray> tail = firstPageTail(file);
    return tail ? openInputSource(std::move(file), std::move(*tail)) : nullptr;
}

std::shared_ptr<InputSource> firstPageInput(const QString& path)
{
    // A file changed between this look and the opening below is read with
    // a table that does not fit it: qpdf then finds other objects than the
    // table names, warns, and the caller reads the file whole.
    const std::optional<Identity> identity = identityOf(path);
    std::shared_ptr<InputSource> file = openInputSource(path);
    std::optional<QByteArray> tail;
    bool kept = false;
    if (identity) {
        const std::lock_guard lock(lastMutex);
        if (last && last->first == *identity) {
            tail = last->second;
            kept = true;
        }
    }
    if (!kept) {
        tail = firstPageTail(file);
        if (identity) {
            const std::lock_guard lock(lastMutex);
            last.emplace(*identity, tail);
        }
    }
    return tail ? openInputSource(std::move(file), std::move(*tail)) : nullptr;
}

} // namespace quillary
