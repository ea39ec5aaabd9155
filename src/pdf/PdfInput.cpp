#include "pdf/PdfInput.h"

#include <QFile>

#include <qpdf/QPDFSystemError.hh>

#include <algorithm>
#include <cerrno>
#include <cstring>

#if __has_include(<unistd.h>) && __has_include(<sys/mman.h>)
#define QUILLARY_POSIX_INPUT 1
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QFileInfo>

#include <qpdf/FileInputSource.hh>
#endif

namespace quillary {

std::string toLocal8(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

namespace {

// What every input source here shares: a name for messages and a position
// that reads move and seeks set, within a size known up front.
class PositionedInput : public InputSource {
public:
    explicit PositionedInput(std::string name) : description(std::move(name)) {}

    const std::string& getName() const override { return description; }
    qpdf_offset_t tell() override { return position; }

    void seek(qpdf_offset_t offset, int whence) override
    {
        qpdf_offset_t target = offset;
        if (whence == SEEK_CUR)
            target = position + offset;
        else if (whence == SEEK_END)
            target = size() + offset;
        if (target < 0)
            throw QPDFSystemError("seek in " + description, EINVAL);
        position = target;
    }

    // Through read(): for sources without their bytes at hand. Line ends
    // are skipped across the reads' chunks too. The offset of the last read
    // stays that of the caller's, as with qpdf's own sources.
    qpdf_offset_t findAndSkipNextEOL() override
    {
        struct KeepLastOffset {
            qpdf_offset_t& offset;
            const qpdf_offset_t kept = offset;
            ~KeepLastOffset() { offset = kept; }
        } keep{last_offset};
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

    void rewind() override { position = 0; }

    void unreadCh(char) override
    {
        if (position > 0)
            --position;
    }

protected:
    virtual qpdf_offset_t size() const = 0;

    std::string description;
    qpdf_offset_t position = 0;
};

// A PDF file whose bytes are already in memory. Reading copies out of the
// bytes and moves only this source's own position, so several sources (one
// per thread) may share one QByteArray.
class MemoryInput : public PositionedInput {
public:
    MemoryInput(const QString& name, QByteArray bytes)
        : PositionedInput(toLocal8(name)), data(std::move(bytes))
    {
    }

    qpdf_offset_t findAndSkipNextEOL() override
    {
        const char* begin = data.constData();
        const char* end = begin + data.size();
        const char* at = begin + std::min<qpdf_offset_t>(position, data.size());
        const char* eol = std::find_if(at, end, [](char c) { return c == '\r' || c == '\n'; });
        const qpdf_offset_t result = eol - begin;
        while (eol != end && (*eol == '\r' || *eol == '\n'))
            ++eol;
        position = eol - begin;
        return result;
    }

    size_t read(char* buffer, size_t length) override
    {
        last_offset = position;
        if (position >= data.size())
            return 0;
        const size_t n = std::min<size_t>(length, size_t(data.size() - position));
        std::memcpy(buffer, data.constData() + position, n);
        position += qpdf_offset_t(n);
        return n;
    }

private:
    qpdf_offset_t size() const override { return data.size(); }

    const QByteArray data;
};

// Another input followed by bytes in memory. Reads of the file part seek it
// and read it; it is used by this source alone.
class TailedInput : public PositionedInput {
public:
    TailedInput(std::shared_ptr<InputSource> file, QByteArray tail)
        : PositionedInput(file->getName()), file(std::move(file)), tail(std::move(tail))
    {
        this->file->seek(0, SEEK_END);
        fileSize = this->file->tell();
    }

    size_t read(char* buffer, size_t length) override
    {
        last_offset = position;
        size_t done = 0;
        while (done < length) {
            if (position < fileSize) {
                file->seek(position, SEEK_SET);
                const size_t got = file->read(buffer + done, std::min<size_t>(length - done, size_t(fileSize - position)));
                if (got == 0)
                    break;
                done += got;
                position += qpdf_offset_t(got);
                continue;
            }
            const qpdf_offset_t at = position - fileSize;
            if (at >= tail.size())
                break;
            const size_t n = std::min<size_t>(length - done, size_t(tail.size() - at));
            std::memcpy(buffer + done, tail.constData() + at, n);
            done += n;
            position += qpdf_offset_t(n);
        }
        return done;
    }

private:
    qpdf_offset_t size() const override { return fileSize + tail.size(); }

    std::shared_ptr<InputSource> file;
    const QByteArray tail;
    qpdf_offset_t fileSize = 0;
};

} // namespace

std::shared_ptr<InputSource> openInputSource(const QString& name, QByteArray bytes)
{
    return std::make_shared<MemoryInput>(name, std::move(bytes));
}

std::shared_ptr<InputSource> openInputSource(std::shared_ptr<InputSource> file, QByteArray tail)
{
    return std::make_shared<TailedInput>(std::move(file), std::move(tail));
}

#ifdef QUILLARY_POSIX_INPUT

namespace {

// A PDF file read through a window of its bytes. qpdf jumps between objects all
// the time; stdio drops its buffer on every seek and asks the kernel again, which
// cost a third of a large merge. Positioned reads into a 64 KB window keep most
// jumps in memory without holding the whole file there.
class WindowedFileInput : public PositionedInput {
public:
    explicit WindowedFileInput(const QString& path)
        : PositionedInput(toLocal8(path))
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

    qpdf_offset_t size() const override { return fileSize; }

    int fd = -1;
    qpdf_offset_t fileSize = 0;
    char* window = nullptr;
    qpdf_offset_t windowStart = 0;
    qpdf_offset_t windowLength = 0;
};

} // namespace

std::shared_ptr<InputSource> openInputSource(const QString& path)
{
    return std::make_shared<WindowedFileInput>(path);
}

#else

std::shared_ptr<InputSource> openInputSource(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        throw QPDFSystemError("open " + toLocal8(path), EISDIR);
    auto source = std::make_shared<FileInputSource>();
    source->setFilename(toLocal8(path).c_str());
    return source;
}

#endif

} // namespace quillary
