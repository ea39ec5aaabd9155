#pragma once

// Where the template store lives, worked out without opening, creating or
// locking it: for checks that only need the place, such as keeping an
// output out of the store, so that a tool that never reads a template never
// makes a store either.

#include "store/CustomFileManager.h"

#include <QString>

namespace quillary {

// The folder CustomFileManager(config) works in: config.directory, else the
// standard data location plus the bundle identifier; absolute and cleaned,
// with symbolic links followed when it exists. Empty when there is no place
// for a store (HOME unset). Creates and reads nothing.
QString storeDirectoryLocation(const StoreConfig& config = {});

} // namespace quillary
