#pragma once

// Where printed jobs wait for their user's agent. Shared by the CUPS backend
// (plain C++, runs under cupsd) and the agent (runs in the user's session).
//
//   <spool root>/            owned by root, not writable by anyone else
//     <user name>/           created by the backend, owned by the user, 0700
//       .<job>.part          being written; never opened by the agent
//       <job>-<title>.pdf    complete: renamed into place in one step, 0600
//
// A job file appears complete or not at all, so the agent never opens half a
// job. Only the backend creates user folders, so nobody can plant a folder
// or a link under another user's name.

#include <string_view>

#ifndef QUILLARY_SPOOL_ROOT
#define QUILLARY_SPOOL_ROOT "/var/spool/quillary"
#endif

namespace quillary::printer {

inline constexpr std::string_view kDefaultSpoolRoot = QUILLARY_SPOOL_ROOT;
// A complete job ends in this; a file that begins with '.' is never one.
inline constexpr std::string_view kJobSuffix = ".pdf";
inline constexpr char kHiddenPrefix = '.';

} // namespace quillary::printer
