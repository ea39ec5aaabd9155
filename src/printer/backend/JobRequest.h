#pragma once

// What cupsd hands the backend for one job, read without touching the file
// system: the arguments
//
//   quillary JOB-ID USER TITLE COPIES OPTIONS [FILE]
//
// (no FILE: the document comes on standard input) and the queue's device URI
// "quillary:/spool/root" (the folder the jobs go to; "quillary:" or
// "quillary:/" for the built-in one).

#include <istream>
#include <optional>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace quillary::printer {

struct JobRequest {
    std::string jobId;   // digits only
    std::string user;    // the user CUPS names for the job
    std::string title;   // free text
    std::string options; // "name=value ..." as CUPS quotes them
    std::optional<std::string> file;
};

// The request, or nullopt with a reason when the arguments are not those of
// a job (wrong count, a job id that is not a number, an empty user).
std::optional<JobRequest> parseJobRequest(int argc, const char* const* argv, std::string* reason);

// The value of one option of the OPTIONS argument (quoted and escaped values
// as CUPS writes them), or nullopt when it is not there.
std::optional<std::string> optionValue(const std::string& options, const char* name);

// True for the names and addresses cupsd gives jobs submitted on this
// machine ("localhost", 127.0.0.0/8, ::1); every other host is remote.
bool isLocalHost(std::string_view host);

// The spool root a device URI names: "quillary:" and "quillary:/" (with or
// without "//") give the built-in root; any other path must be absolute and
// free of "." and ".." parts. nullopt for other schemes and bad paths.
std::optional<std::string> spoolRootFromUri(std::string_view uri);

// The first uid of people's accounts: UID_MIN of login.defs, 1000 when the
// file does not say.
uid_t firstPersonUid(std::istream& loginDefs);

// The line lpinfo lists for this backend.
inline constexpr const char* kDeviceLine = "direct quillary:/ \"Quillary\" \"Quillary (opens the preview window)\"";

} // namespace quillary::printer
