#pragma once

// Where a letterhead printer's stationery comes from: the files an
// administrator names, or a template of a user's store. Whatever a user can
// name is read with that user's rights (the tool runs as root under sudo):
// a link in a store to a file only root may read gives nothing away.

#include "printer/office/OfficeCommand.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

#include <sys/types.h>

namespace quillary::office {

// One stationery file is a page or two; nothing larger is taken.
inline constexpr qint64 kMaxStationeryFileBytes = 64 * 1024 * 1024;

// The person behind the command: SUDO_UID (or PKEXEC_UID) when root runs it
// for someone, else the real user.
struct Invoker {
    uid_t uid = 0;
    gid_t gid = 0;
    QString home;
};
std::optional<Invoker> invokingUser();

struct Stationery {
    // start, continuation, terms: the bytes of each file named (any page count;
    // page 1 is taken when it is installed).
    std::array<std::optional<QByteArray>, 3> pages;
    std::array<QString, 3> origins;     // where each came from, for messages
    std::optional<bool> stationeryOver; // the template's layer, when a template was named
};
struct StationeryResult {
    std::optional<Stationery> stationery;
    QString error;
};

// Reads what the command names (nothing when it names no stationery), as
// the invoker.
StationeryResult readStationery(const OfficeCommand& command, const Invoker& invoker);

// The invoker's store folder: --store, else the standard place in their home.
QString storeFolder(const OfficeCommand& command, const Invoker& invoker);

} // namespace quillary::office
