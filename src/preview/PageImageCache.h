#pragma once

// A small per-view cache of rendered pages, least recently used first out.
// The pages a view shows are pinned and never dropped; an image of an older
// merge or another size is kept as a stand-in until the fresh one arrives,
// so a rebuild never blanks what is on screen.

#include "preview/PageRenderer.h"

#include <QHash>
#include <QImage>
#include <QSize>

namespace quillary {

class PageImageCache {
public:
    explicit PageImageCache(int capacity) : capacity(capacity) {}

    struct Hit {
        QImage image; // null when nothing is cached for the index
        bool fresh = false; // of this entry and this size
    };
    Hit find(int index, const PageEntry& entry, QSize pixels);
    void insert(int index, const PageEntry& entry, QSize pixels, const QImage& image);

    // Drops the least recently used images beyond the capacity, never one
    // with an index in [firstPinned, lastPinned].
    void trim(int firstPinned, int lastPinned);
    // An image of from at index counts as one of to from now on.
    void carryOver(int index, const PageEntry& from, const PageEntry& to);
    // Drops every image at an index >= count.
    void truncate(int count);
    void clear() { stored.clear(); }

    int size() const { return int(stored.size()); }
    qint64 byteCount() const;

private:
    struct Slot {
        PageEntry entry;
        QSize pixels;
        QImage image;
        quint64 used = 0;
    };
    int capacity;
    quint64 clock = 0;
    QHash<int, Slot> stored;
};

} // namespace quillary
