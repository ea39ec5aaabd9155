#pragma once

// Where qpdf reads a PDF file from. Internal to quillary_core.

#include <QByteArray>
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

// An input source over bytes already in memory; name is what messages call
// it. The source keeps its own reference to the bytes and never changes them,
// so sources on several threads may read one QByteArray at once.
std::shared_ptr<InputSource> openInputSource(const QString& name, QByteArray bytes);

// The bytes of file followed by tail, as one input (a file with a section
// added at its end, without writing it).
std::shared_ptr<InputSource> openInputSource(std::shared_ptr<InputSource> file, QByteArray tail);

} // namespace quillary
