#include "printer/office/StationerySource.h"

#include "store/StoreReader.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillary::office {

namespace {

// Takes on the invoker's user and group for its lifetime, when root runs the
// tool for someone else.
class AsInvoker {
public:
    explicit AsInvoker(const Invoker& invoker)
    {
        if (::geteuid() != 0 || invoker.uid == 0)
            return;
        savedGroups.resize(::getgroups(0, nullptr));
        if (::getgroups(int(savedGroups.size()), savedGroups.data()) < 0)
            return;
        const gid_t gid = invoker.gid;
        if (::setgroups(1, &gid) != 0 || ::setegid(gid) != 0 || ::seteuid(invoker.uid) != 0) {
            restore();
            return;
        }
        switched = true;
    }
    ~AsInvoker() { restore(); }
    AsInvoker(const AsInvoker&) = delete;
    AsInvoker& operator=(const AsInvoker&) = delete;
    // False when the switch was needed and failed: then nothing is read.
    bool ok(const Invoker& invoker) const { return switched || ::geteuid() != 0 || invoker.uid == 0; }

private:
    void restore()
    {
        if (::geteuid() != 0 && ::seteuid(0) != 0)
            std::abort(); // never go on half switched
        if (!savedGroups.empty()) {
            (void)::setegid(0);
            (void)::setgroups(savedGroups.size(), savedGroups.data());
        }
        switched = false;
    }
    std::vector<gid_t> savedGroups;
    bool switched = false;
};

struct Read {
    std::optional<QByteArray> bytes;
    QString error;
};

Read readFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return {std::nullopt, QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)))};
    struct stat st {};
    Read r;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        r.error = QStringLiteral("%1: not a regular file").arg(path);
    else if (st.st_size > kMaxStationeryFileBytes)
        r.error = QStringLiteral("%1: larger than %2 MiB, too large for stationery").arg(path).arg(kMaxStationeryFileBytes / (1024 * 1024));
    else {
        QByteArray bytes(st.st_size, Qt::Uninitialized);
        qint64 done = 0;
        while (done < st.st_size) {
            const ssize_t n = ::read(fd, bytes.data() + done, size_t(st.st_size - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += n;
        }
        if (done == st.st_size)
            r.bytes = std::move(bytes);
        else
            r.error = QStringLiteral("%1: could not be read whole").arg(path);
    }
    ::close(fd);
    return r;
}

} // namespace

std::optional<Invoker> invokingUser()
{
    uid_t uid = ::getuid();
    if (uid == 0) {
        for (const char* variable : {"SUDO_UID", "PKEXEC_UID"}) {
            if (const char* value = std::getenv(variable)) {
                bool ok = false;
                const uint parsed = QString::fromLatin1(value).toUInt(&ok);
                if (ok) {
                    uid = parsed;
                    break;
                }
            }
        }
    }
    const struct passwd* entry = ::getpwuid(uid);
    if (!entry)
        return std::nullopt;
    return Invoker{uid, entry->pw_gid, QFile::decodeName(entry->pw_dir)};
}

QString storeFolder(const OfficeCommand& command, const Invoker& invoker)
{
    if (command.store)
        return QDir(*command.store).absolutePath();
    return invoker.home + QStringLiteral("/.local/share/") + QStringLiteral(QUILLARY_BUNDLE_IDENTIFIER);
}

StationeryResult readStationery(const OfficeCommand& command, const Invoker& invoker)
{
    Stationery s;
    if (!command.namesStationery())
        return {s, {}};
    const AsInvoker as(invoker);
    if (!as.ok(invoker))
        return {std::nullopt, QStringLiteral("cannot take on the rights of user %1 to read the stationery").arg(invoker.uid)};

    std::array<std::optional<QString>, 3> paths{command.start, command.continuation, command.terms};
    if (command.templateName) {
        const QString folder = storeFolder(command, invoker);
        const ValueResult<StoredTemplate> stored = readStoredTemplate(folder, *command.templateName);
        if (!stored)
            return {std::nullopt, stored.error};
        paths = stored.value->pages;
        // The record's "isOverlay": the content lies over the stationery.
        s.stationeryOver = !stored.value->record.isOverlay();
        if (!paths[0] && !paths[1] && !paths[2])
            return {std::nullopt, QStringLiteral("template \"%1\" has no stationery pages").arg(*command.templateName)};
    }
    for (int i = 0; i < 3; ++i) {
        if (!paths[i])
            continue;
        Read read = readFile(*paths[i]);
        if (!read.bytes)
            return {std::nullopt, read.error};
        s.pages[i] = std::move(read.bytes);
        s.origins[i] = *paths[i];
    }
    return {s, {}};
}

} // namespace quillary::office
