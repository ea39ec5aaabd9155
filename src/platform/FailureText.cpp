#include "platform/FailureText.h"

#include <QFileInfo>

namespace quillary {

namespace {

// Where line names path as a whole: "/a/b.pdf" is not named by
// "/a/b.pdf.tmp: ...". -1 when nowhere.
qsizetype mentionOf(const QString& line, const QString& path)
{
    for (qsizetype at = line.indexOf(path); at >= 0; at = line.indexOf(path, at + 1)) {
        const qsizetype end = at + path.size();
        if (end == line.size())
            return at;
        const QChar next = line.at(end);
        if (!next.isLetterOrNumber() && next != u'.' && next != u'-' && next != u'_' && next != u'/')
            return at;
    }
    return -1;
}

} // namespace

QString FailureText::sentence(ErrorCode code, const QString& file)
{
    if (file.isEmpty()) {
        switch (code) {
        case ErrorCode::None: return QString();
        case ErrorCode::NotFound: return tr("A file that is needed does not exist.");
        case ErrorCode::NotAFile: return tr("A folder was found where a file belongs.");
        case ErrorCode::Unreadable: return tr("A file that is needed cannot be read.");
        case ErrorCode::Damaged: return tr("A file that is needed is damaged.");
        case ErrorCode::PasswordProtected: return tr("The document is protected by a password.");
        case ErrorCode::NoPages: return tr("The document has no pages.");
        case ErrorCode::NoSpace: return tr("The disk is full.");
        case ErrorCode::WriteFailed: return tr("A file could not be written.");
        case ErrorCode::InvalidInput: return tr("A password or another setting cannot be used.");
        case ErrorCode::Refused: return tr("That file must not be replaced.");
        case ErrorCode::Locked: break;
        case ErrorCode::Cancelled: return tr("Stopped.");
        case ErrorCode::Missing: return tr("The template or one of its pages no longer exists.");
        case ErrorCode::OutOfMemory: return tr("There was not enough memory to work on the document.");
        }
        return tr("Another Quillary window is changing the templates. Try again in a moment.");
    }

    const QString name = shownName(file);
    switch (code) {
    case ErrorCode::None: return QString();
    case ErrorCode::NotFound: return tr("“%1” does not exist.").arg(name);
    case ErrorCode::NotAFile: return tr("“%1” is a folder, not a file.").arg(name);
    case ErrorCode::Unreadable: return tr("“%1” cannot be read.").arg(name);
    case ErrorCode::Damaged: return tr("“%1” is damaged or not in a format Quillary can read.").arg(name);
    case ErrorCode::PasswordProtected: return tr("“%1” is protected by a password.").arg(name);
    case ErrorCode::NoPages: return tr("“%1” has no pages.").arg(name);
    case ErrorCode::NoSpace: return tr("The disk is full: “%1” could not be written.").arg(name);
    case ErrorCode::WriteFailed: return tr("“%1” could not be written.").arg(name);
    case ErrorCode::InvalidInput: return tr("“%1” was not written: a password or another setting cannot be used.").arg(name);
    case ErrorCode::Refused:
        return tr("“%1” must not be replaced: it is the document itself or a file of the template store.").arg(name);
    case ErrorCode::Locked: break; // the store's lock file means nothing to the user
    case ErrorCode::Cancelled: return tr("Stopped.");
    case ErrorCode::Missing: return tr("“%1” no longer exists.").arg(name);
    case ErrorCode::OutOfMemory: return tr("There was not enough memory to work on “%1”.").arg(name);
    }
    return sentence(code);
}

QString FailureText::sentence(const Result& result, const QStringList& knownFiles)
{
    return sentence(result.code, fileOf(result, knownFiles));
}

QString FailureText::fileOf(const Result& result, const QStringList& knownFiles)
{
    QString found;
    qsizetype at = -1;
    for (const QString& file : knownFiles) {
        if (file.isEmpty())
            continue;
        const qsizetype where = mentionOf(result.error, file);
        if (where < 0)
            continue;
        if (at < 0 || where < at || (where == at && file.size() > found.size())) {
            found = file;
            at = where;
        }
    }
    return found;
}

QString FailureText::shownName(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

} // namespace quillary
