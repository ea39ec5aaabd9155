#pragma once

// Passwords of protected outputs, prepared the way AES-256 encryption stores
// them and checked as stored: two passwords that differ as typed may be one
// and the same password in the file.

#include "pdf/Result.h"
#include "pdf/SaveOptions.h"

#include <QString>

#include <optional>
#include <string>

namespace quillary {

// AES-256 keeps the first 127 bytes of a prepared password. Readers differ in
// how they cut a longer one, so such a file may open nowhere.
inline constexpr int kMaxPasswordBytes = 127;

// The bytes AES-256 encryption uses for a password as typed: the SASLprep
// profile of stringprep (characters mapped to nothing, such as soft hyphens
// and zero-width joiners, dropped; other spaces made plain spaces; NFKC;
// prohibited characters and mixed-direction text refused; code points
// unassigned in its Unicode version allowed), then NFKC with this system's
// Unicode tables for those, then UTF-8. An empty text gives empty bytes.
// Refused with ErrorCode::InvalidInput and a reason that never quotes the
// password. Thread-safe.
ValueResult<std::string> preparePassword(const QString& password);

enum class PasswordRole { User, Owner };

// The rule a refused password broke, for a window to say it in its words.
enum class PasswordRule {
    None,
    Missing,     // protection asked for, no password given
    Character,   // a control, private-use, unpaired or non-character code
    Direction,   // right-to-left and left-to-right text mixed
    OnlyDropped, // nothing left once prepared
    TooLong,     // longer than kMaxPasswordBytes once prepared
    SameAsUser,  // the owner password is the password
    Other,
};

// The passwords of one output, prepared and checked together.
struct PreparedPasswords : Result {
    std::string user;  // empty: the file opens without a password
    std::string owner; // empty: none given (the writer then picks a random one)
    PasswordRole refused = PasswordRole::User; // the one at fault, when !ok()
    PasswordRule rule = PasswordRule::None;    // what it broke, when !ok()
};

// user: the password that opens the file (nothing: none). owner: the password
// that lifts the print and copy restrictions, read only when printing is
// forbidden; nothing or the empty text means none was chosen. Refused
// (InvalidInput, the reason names the password's role, never its text): an
// empty user password or one that becomes empty once prepared, an owner
// password that becomes empty, one longer than kMaxPasswordBytes once
// prepared, and an owner password equal to the user password once prepared
// (the file would open with full rights).
PreparedPasswords preparePasswords(const std::optional<QString>& user, const std::optional<QString>& owner);

// The passwords of an output with these options, read as the writer reads
// them: the password only with WITH_PASSWORD, the owner password only with
// printing forbidden (ALLOW_PRINT false).
PreparedPasswords preparePasswords(const SaveOptionsMap& options);

} // namespace quillary
