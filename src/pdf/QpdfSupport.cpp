#include "pdf/QpdfSupport.h"

#include "pdf/AtomicFile.h"

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

ErrorCode errorCodeOf(const std::exception& e)
{
    if (const auto* sys = dynamic_cast<const QPDFSystemError*>(&e)) {
        const int error = sys->getErrno();
        return error == EACCES || error == EPERM || error == EIO ? ErrorCode::Unreadable : errorCodeForErrno(error);
    }
    if (const auto* exc = dynamic_cast<const QPDFExc*>(&e)) {
        if (exc->getErrorCode() == qpdf_e_password)
            return ErrorCode::PasswordProtected;
        if (exc->getErrorCode() == qpdf_e_system)
            return ErrorCode::Unreadable;
        return ErrorCode::Damaged;
    }
    return ErrorCode::Damaged;
}

} // namespace quillary

namespace quillary {

namespace {

// Hands what QPDFWriter writes to an AtomicFile. A failed write throws, so
// the writer stops at once instead of producing the rest of a file that
// cannot be kept.
class AtomicFilePipeline : public Pipeline {
public:
    explicit AtomicFilePipeline(AtomicFile& file)
        : Pipeline("atomic file", nullptr), file(file) {}
    void write(unsigned char const* data, size_t length) override
    {
        if (!file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(length)))
            throw WriteFailure();
    }
    void finish() override {}

    struct WriteFailure : std::runtime_error {
        WriteFailure() : std::runtime_error("write failed") {}
    };

private:
    AtomicFile& file;
};

} // namespace

Result writePdfAtomically(QPDF& pdf, const QString& destination,
                          const std::function<void(QPDFWriter&)>& configure)
{
    AtomicFile file(destination);
    if (Result opened = file.open(); !opened)
        return opened;
    try {
        AtomicFilePipeline pipeline(file);
        QPDFWriter writer(pdf);
        writer.setOutputPipeline(&pipeline);
        if (configure)
            configure(writer);
        writer.write();
    } catch (const AtomicFilePipeline::WriteFailure&) {
        return file.commit(); // reports the write that failed, and discards
    }
    return file.commit();
}

} // namespace quillary
