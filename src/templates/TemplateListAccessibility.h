#pragma once

// How assistive technology sees the template list: a list whose rows are
// items named after their templates, with their selected state, and which a
// screen reader's "press" selects.

namespace quillary {

// Installs the accessible interfaces of the list and its rows (once).
void installTemplateListAccessibility();

} // namespace quillary
