#pragma once

// The file name of a job in its user's spool folder, made from the job's
// title. The title is free text chosen by whoever printed (a program, or a
// person typing "lp -t"), so it is cleaned before it names a file: no
// slashes, no control characters or line breaks, no leading dots (no hidden
// files, no "." or ".."), no runs of dots, valid UTF-8, a bounded length.

#include <string>
#include <string_view>

namespace quillary::printer {

// At most this many bytes of the title reach the file name.
inline constexpr std::size_t kMaxTitleBytes = 120;

// The title as it may appear in a file name: never empty ("document" when
// nothing usable is left), never longer than kMaxTitleBytes, without the
// ".pdf" the job file gets anyway.
std::string safeTitle(std::string_view title);

// "<job id>-<safe title>.pdf"; attempt 2, 3, ... add " (2)", " (3)", ...
// for the rare retried job whose first name is taken.
std::string jobFileName(std::string_view title, std::string_view jobId, int attempt = 1);

} // namespace quillary::printer
