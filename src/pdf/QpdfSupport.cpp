#include "pdf/QpdfSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <qpdf/InputSource.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFSystemError.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillary {

std::string toLocal8(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

namespace {

// A PDF file read through a window of its bytes. qpdf jumps between objects all
// the time; stdio drops its buffer on every seek and asks the kernel again, which
// cost a third of a large merge. Positioned reads into a 64 KB window keep most
// jumps in memory without holding the whole file there.
class WindowedFileInput : public InputSource {
public:
    explicit WindowedFileInput(const QString& path)
        : description(toLocal8(path))
    {
        fd = ::open(description.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            throw QPDFSystemError("open " + description, errno);
        struct stat info {};
        if (::fstat(fd, &info) != 0) {
            const int error = errno;
            ::close(fd);
            throw QPDFSystemError("stat " + description, error);
        }
        if (S_ISDIR(info.st_mode)) {
            ::close(fd);
            throw QPDFSystemError("open " + description, EISDIR);
        }
        fileSize = info.st_size;
        // Mapped rather than allocated: freeing a large heap block makes malloc
        // consolidate every small block qpdf freed before, which showed up as
        // a seventh of a merge.
        void* memory = ::mmap(nullptr, WindowSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) {
            const int error = errno;
            ::close(fd);
            throw QPDFSystemError("memory for " + description, error);
        }
        window = static_cast<char*>(memory);
    }
    ~WindowedFileInput() override
    {
        ::munmap(window, WindowSize);
        ::close(fd);
    }
    WindowedFileInput(const WindowedFileInput&) = delete;
    WindowedFileInput& operator=(const WindowedFileInput&) = delete;

    qpdf_offset_t findAndSkipNextEOL() override
    {
        char buffer[4096];
        for (;;) {
            const qpdf_offset_t start = position;
            const size_t length = read(buffer, sizeof buffer);
            if (length == 0)
                return position;
            const char* end = buffer + length;
            const char* eol = std::find_if(static_cast<const char*>(buffer), end, [](char c) { return c == '\r' || c == '\n'; });
            if (eol == end)
                continue;
            const qpdf_offset_t result = start + (eol - buffer);
            position = result + 1;
            char c;
            while (read(&c, 1) == 1) {
                if (c != '\r' && c != '\n') {
                    unreadCh(c);
                    break;
                }
            }
            return result;
        }
    }

    const std::string& getName() const override { return description; }
    qpdf_offset_t tell() override { return position; }

    void seek(qpdf_offset_t offset, int whence) override
    {
        qpdf_offset_t target = offset;
        if (whence == SEEK_CUR)
            target = position + offset;
        else if (whence == SEEK_END)
            target = fileSize + offset;
        if (target < 0)
            throw QPDFSystemError("seek in " + description, EINVAL);
        position = target;
    }

    void rewind() override { position = 0; }

    size_t read(char* buffer, size_t length) override
    {
        last_offset = position;
        size_t done = 0;
        while (done < length && position < fileSize) {
            if (position < windowStart || position >= windowStart + windowLength) {
                if (length - done >= WindowSize) {
                    // Large reads (stream data) bypass the window.
                    const ssize_t got = readAt(buffer + done, length - done, position);
                    if (got <= 0)
                        break;
                    done += static_cast<size_t>(got);
                    position += got;
                    continue;
                }
                const ssize_t got = readAt(window, WindowSize, position);
                if (got <= 0)
                    break;
                windowStart = position;
                windowLength = got;
            }
            const qpdf_offset_t inWindow = position - windowStart;
            const size_t n = std::min<size_t>(length - done, static_cast<size_t>(windowLength - inWindow));
            std::memcpy(buffer + done, window + inWindow, n);
            done += n;
            position += static_cast<qpdf_offset_t>(n);
        }
        return done;
    }

    void unreadCh(char) override
    {
        if (position > 0)
            --position;
    }

private:
    static constexpr size_t WindowSize = 64 * 1024;

    ssize_t readAt(char* buffer, size_t length, qpdf_offset_t offset)
    {
        for (;;) {
            const ssize_t got = ::pread(fd, buffer, length, static_cast<off_t>(offset));
            if (got >= 0)
                return got;
            if (errno != EINTR)
                throw QPDFSystemError("read " + description, errno);
        }
    }

    std::string description;
    int fd = -1;
    qpdf_offset_t fileSize = 0;
    qpdf_offset_t position = 0;
    char* window = nullptr;
    qpdf_offset_t windowStart = 0;
    qpdf_offset_t windowLength = 0;
};

} // namespace

void keepHeapTopForQpdf()
{
#ifdef __GLIBC__
    // Writing compresses stream after stream; each compressor takes a few
    // hundred KB from the top of the heap and gives it back. By default glibc
    // returns that memory to the kernel every time and takes it again for the
    // next stream, which made a 1000-page merge five times slower. Keeping a
    // few MB at the top costs at most those few MB.
    static const bool done = [] { return mallopt(M_TOP_PAD, 4 * 1024 * 1024) == 1; }();
    (void)done;
#endif
}

std::shared_ptr<QPDF> openPdf(const QString& path)
{
    keepHeapTopForQpdf();
    auto pdf = std::make_shared<QPDF>();
    pdf->setSuppressWarnings(true);
    pdf->processInputSource(std::make_shared<WindowedFileInput>(path));
    return pdf;
}

QRectF mediaBoxOf(QPDFObjectHandle page)
{
    QPDFPageObjectHelper helper(page);
    QPDFObjectHandle box = helper.getMediaBox();
    if (!box.isRectangle())
        return {};
    const QPDFObjectHandle::Rectangle r = box.getArrayAsRectangle();
    const double llx = std::min(r.llx, r.urx);
    const double lly = std::min(r.lly, r.ury);
    return QRectF(llx, lly, std::abs(r.urx - r.llx), std::abs(r.ury - r.lly));
}

std::optional<QRectF> firstPageMediaBox(const QString& path)
{
    try {
        auto pdf = openPdf(path);
        const auto pages = QPDFPageDocumentHelper(*pdf).getAllPages();
        if (pages.empty())
            return std::nullopt;
        const QRectF box = mediaBoxOf(pages.front().getObjectHandle());
        if (box.isNull())
            return std::nullopt;
        return box;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

QString describePdfError(const std::exception& e)
{
    if (const auto* sys = dynamic_cast<const QPDFSystemError*>(&e))
        return QString::fromLocal8Bit(std::strerror(sys->getErrno()));
    if (const auto* exc = dynamic_cast<const QPDFExc*>(&e)) {
        if (exc->getErrorCode() == qpdf_e_password)
            return QStringLiteral("the file is protected by a password");
        if (exc->getErrorCode() == qpdf_e_system)
            return QString::fromStdString(exc->getMessageDetail());
        return QStringLiteral("not a readable PDF (%1)").arg(QString::fromStdString(exc->getMessageDetail()));
    }
    return QString::fromLocal8Bit(e.what());
}

} // namespace quillary

namespace quillary {

namespace {

// True when nobody but the owner may enter the folder.
bool folderIsPrivate(const QString& folder)
{
    struct stat info {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0)
        return false;
    return (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

// Where a write to path really lands: through symbolic links to the file they
// name, so a link is written through rather than replaced by a plain file.
// Anything there that is not a regular file (a device, a pipe, a folder) is
// refused: renaming over it would destroy it.
QString resolveOutputPath(const QString& path)
{
    QString resolved = QFileInfo(path).absoluteFilePath();
    for (int depth = 0; depth < 40; ++depth) {
        const QFileInfo info(resolved);
        if (!info.isSymLink())
            break;
        const QString next = info.symLinkTarget();
        if (next.isEmpty())
            break;
        resolved = QFileInfo(next).absoluteFilePath();
    }
    struct stat info {};
    if (::lstat(QFile::encodeName(resolved).constData(), &info) == 0 && !S_ISREG(info.st_mode))
        throw std::runtime_error(QStringLiteral("%1 is not a regular file").arg(path).toStdString());
    return resolved;
}

} // namespace

void writePdfAtomically(QPDF& pdf, const QString& destination,
                        const std::function<void(QPDFWriter&)>& configure)
{
    const QFileInfo target(resolveOutputPath(destination));
    QTemporaryFile temp(target.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX.part").arg(target.fileName())));
    if (!temp.open())
        throw std::runtime_error(QStringLiteral("cannot write in %1: %2")
                                     .arg(target.absolutePath(), temp.errorString())
                                     .toStdString());
    const std::string tempPath = toLocal8(temp.fileName());
    // On any exception QTemporaryFile removes the partial file.
    std::FILE* file = ::fdopen(::dup(temp.handle()), "wb");
    if (!file)
        throw std::runtime_error("cannot open a temporary file");
    {
        QPDFWriter writer(pdf);
        writer.setOutputFile(tempPath.c_str(), file, true);
        if (configure)
            configure(writer);
        writer.write();
    }
    // The temporary file is private (0600); the finished file gets the
    // permissions of the file it replaces, or the usual ones for a new file.
    // A new file in a private folder (the store's scratch and page files) stays
    // private: printed documents can be confidential.
    if (target.exists()) {
        temp.setPermissions(QFile::permissions(target.absoluteFilePath()));
    } else if (!folderIsPrivate(target.absolutePath())) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(temp.handle(), 0666 & ~mask);
    }
    std::filesystem::rename(tempPath, toLocal8(target.absoluteFilePath()));
    temp.setAutoRemove(false);
}

} // namespace quillary
