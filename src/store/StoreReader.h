#pragma once

// A template of a store read without opening the store for work: no lock,
// no start-up, nothing written or re-moded. For programs that take a
// template from someone else's store (an administrator's tool copying it
// for a printer), which must leave that store exactly as it was.

#include "pdf/Result.h"
#include "store/TemplateRecord.h"

#include <QString>

#include <array>
#include <optional>

namespace quillary {

struct StoredTemplate {
    TemplateRecord record;
    // Per page kind (PageKind order): the stored page's file, or nothing when
    // the template has no page of that kind.
    std::array<std::optional<QString>, 3> pages;
};

// The first template named name in the store at directory. Fails (naming the
// file) when the settings file is missing, damaged or too large, when no
// template has that name, or when a page it refers to is not in the store's
// lists.
ValueResult<StoredTemplate> readStoredTemplate(const QString& directory, const QString& name);

} // namespace quillary
