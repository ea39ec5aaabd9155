#include "preview/PageImageCache.h"

#include <algorithm>
#include <vector>

namespace quillary {

PageImageCache::Hit PageImageCache::find(int index, const PageEntry& entry, QSize pixels)
{
    const auto it = stored.find(index);
    if (it == stored.end())
        return {};
    it->used = ++clock;
    return {it->image, it->entry == entry && it->pixels == pixels};
}

void PageImageCache::insert(int index, const PageEntry& entry, QSize pixels, const QImage& image)
{
    stored.insert(index, Slot{entry, pixels, image, ++clock});
}

void PageImageCache::carryOver(int index, const PageEntry& from, const PageEntry& to)
{
    const auto it = stored.find(index);
    if (it != stored.end() && it->entry == from)
        it->entry = to;
}

void PageImageCache::trim(int firstPinned, int lastPinned)
{
    if (stored.size() <= capacity)
        return;
    std::vector<std::pair<quint64, int>> candidates;
    candidates.reserve(stored.size());
    for (auto it = stored.cbegin(); it != stored.cend(); ++it)
        if (it.key() < firstPinned || it.key() > lastPinned)
            candidates.emplace_back(it->used, it.key());
    std::sort(candidates.begin(), candidates.end());
    for (const auto& [used, index] : candidates) {
        if (stored.size() <= capacity)
            break;
        stored.remove(index);
    }
}

void PageImageCache::truncate(int count)
{
    for (auto it = stored.begin(); it != stored.end();)
        it = it.key() >= count ? stored.erase(it) : std::next(it);
}

qint64 PageImageCache::byteCount() const
{
    qint64 bytes = 0;
    for (const Slot& slot : stored)
        bytes += slot.image.sizeInBytes();
    return bytes;
}

} // namespace quillary
