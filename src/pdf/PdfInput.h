#pragma once

// Where qpdf reads a PDF file from. Internal to quillary_core.

#include <QString>

#include <qpdf/InputSource.hh>

#include <memory>
#include <string>

namespace quillary {

// The file as the platform's path encoding spells it.
std::string toLocal8(const QString& path);

// An input source for path. On POSIX systems the file is read with positioned
// reads through a 64 KB window (qpdf jumps between objects all the time, and
// stdio drops its buffer on every seek); elsewhere qpdf's own FileInputSource.
// Throws QPDFSystemError when the file cannot be opened, or is a folder.
std::shared_ptr<InputSource> openInputSource(const QString& path);

} // namespace quillary
