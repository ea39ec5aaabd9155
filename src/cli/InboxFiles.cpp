#include "cli/InboxFiles.h"

#include "fs/SafeFs.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>

#include <unistd.h>

namespace quillary::cli {

namespace {

// Where a PDF's "%%EOF" is looked for.
constexpr qint64 kTailBytes = 1024;

std::string local(const QString& name)
{
    return QFile::encodeName(name).toStdString();
}

} // namespace

bool endsLikePdf(int file, qint64 size)
{
    QByteArray tail(int(std::min(size, kTailBytes)), '\0');
    const ssize_t n = ::pread(file, tail.data(), size_t(tail.size()), std::max<qint64>(0, size - kTailBytes));
    if (n < 0)
        return true;
    tail.resize(int(n));
    return tail.contains("%%EOF");
}

QString moveInto(int inbox, const QString& name, int folder, const QString& folderPath, QString* why)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    for (int n = 1; n < 10000; ++n) {
        const QString target = n == 1 ? name : QStringLiteral("%1-%2%3").arg(stem).arg(n).arg(extension);
        const fs::Status moved = fs::renameAt(inbox, local(name), folder, local(target), true);
        if (moved)
            return target;
        if (moved.error != EEXIST) {
            *why = QFile::decodeName(QByteArray::fromStdString(moved.message));
            return {};
        }
    }
    *why = QStringLiteral("no free name in %1").arg(folderPath);
    return {};
}

} // namespace quillary::cli
