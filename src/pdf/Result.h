#pragma once

// The one result type of the core: ok, or a code that says what went wrong
// and a one-line English reason that names the file. Programs branch on the
// code (ask for a password, retry on a full disk, translate the message);
// people read the reason. Warnings are things worth telling that did not stop
// the operation.

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace quillary {

enum class ErrorCode {
    None = 0,
    NotFound,          // a named file or folder does not exist
    NotAFile,          // a folder, device or pipe where a regular file belongs
    Unreadable,        // exists but cannot be read (permissions, I/O error)
    Damaged,           // not a readable PDF or property list
    PasswordProtected, // the PDF opens only with a password
    NoPages,           // a PDF without pages, or without the page asked for
    NoSpace,           // the disk or the user's quota is full, or a file-size limit hit
    WriteFailed,       // any other failure to write or replace a file
    InvalidInput,      // a value the operation cannot honour (password rules, offsets, names)
    Refused,           // the operation would destroy something it must not (store files, inputs)
    Locked,            // another process holds the store's lock
    Cancelled,         // stopped by its caller
    Missing,           // a template or stored page the operation needs is gone
    OutOfMemory,       // the work needed more memory than the process could get
};

struct Result {
    ErrorCode code = ErrorCode::None;
    QString error;       // one line: "<file>: <reason>"; empty when ok
    QStringList warnings;

    bool ok() const { return code == ErrorCode::None; }
    explicit operator bool() const { return ok(); }

    static Result success() { return {}; }
    static Result failure(ErrorCode code, QString why)
    {
        Result r;
        r.code = code == ErrorCode::None ? ErrorCode::WriteFailed : code;
        r.error = std::move(why);
        return r;
    }
};

// A result that carries a value when it is ok.
template <class T>
struct ValueResult : Result {
    std::optional<T> value;

    ValueResult() = default;
    ValueResult(const Result& r) : Result(r) {} // a failure (or a bare success without value)
    static ValueResult of(T v)
    {
        ValueResult r;
        r.value = std::move(v);
        return r;
    }
};

// errno of a failed system call as an error code.
ErrorCode errorCodeForErrno(int error);

} // namespace quillary
