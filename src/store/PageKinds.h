#pragma once

// The three kinds of stationery page a template holds, in the order the
// assistant shows them and the save procedure handles them. One table, so
// that the settings key, the record key, the file prefix, the slot tag and
// the label of a kind are spelled in one place.

#include "store/StoreKey.h"

#include <QLatin1StringView>

#include <array>
#include <optional>

namespace quillary {

enum class PageKind { Start = 0, Continuation = 1, Terms = 2 };

struct PageKindInfo {
    PageKind kind;
    StoreKey storeKey;             // page kind number of the store (3, 2, 4)
    QLatin1StringView settingsKey; // list of stored files in the settings file
    QLatin1StringView recordKey;   // reference in a template record
    QLatin1StringView filePrefix;  // stored file names: prefix + "%02d.pdf"
    int slotTag;                   // tag of the page slot and its click catcher
    const char* label;             // for messages: "start page", ...
};

inline constexpr std::array<PageKindInfo, 3> kPageKinds{{
    {PageKind::Start, StoreKey::TemplateFirst, QLatin1StringView("templatefirst"),
     QLatin1StringView("frontPage"), QLatin1StringView("/tempf"), 1, "start page"},
    {PageKind::Continuation, StoreKey::Template, QLatin1StringView("template"),
     QLatin1StringView("secondaryPage"), QLatin1StringView("/temp"), 2, "continuation page"},
    {PageKind::Terms, StoreKey::TemplateBack, QLatin1StringView("templateback"),
     QLatin1StringView("termsOfConditions"), QLatin1StringView("/tempb"), 3, "terms page"},
}};

inline constexpr const PageKindInfo& pageKindInfo(PageKind kind)
{
    return kPageKinds[static_cast<int>(kind)];
}

// The page kind of a store key (2, 3, 4); nothing for the other keys.
inline std::optional<PageKind> pageKindOf(StoreKey key)
{
    for (const PageKindInfo& info : kPageKinds)
        if (info.storeKey == key)
            return info.kind;
    return std::nullopt;
}

// The page kind of a slot tag (1, 2, 3); nothing for other tags.
inline std::optional<PageKind> pageKindOfTag(int tag)
{
    for (const PageKindInfo& info : kPageKinds)
        if (info.slotTag == tag)
            return info.kind;
    return std::nullopt;
}

} // namespace quillary
