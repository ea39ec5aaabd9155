#include "platform/StderrSieve.h"

#include <cstdio>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace quillary {

StderrSieve::StderrSieve(QByteArrayList noise)
    : noise(std::move(noise))
{
#ifdef Q_OS_LINUX
    std::fflush(stderr);
    // A file, not a pipe: a writer never blocks on a full buffer.
    capture = ::memfd_create("quillary-stderr", MFD_CLOEXEC);
    if (capture < 0)
        return;
    saved = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (saved < 0 || ::dup2(capture, STDERR_FILENO) < 0) {
        if (saved >= 0)
            ::close(saved);
        saved = -1;
        ::close(capture);
        capture = -1;
    }
#endif
}

StderrSieve::~StderrSieve()
{
    if (saved < 0)
        return;
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    // What was written meanwhile, a megabyte at most, passed on but the noise.
    QByteArray held;
    if (::lseek(capture, 0, SEEK_SET) == 0) {
        char buffer[16384];
        ssize_t n = 0;
        while (held.size() < (1 << 20) && (n = ::read(capture, buffer, sizeof buffer)) > 0)
            held.append(buffer, n);
    }
    ::close(capture);
    QByteArray passed;
    for (const QByteArray& line : held.split('\n')) {
        if (line.isEmpty())
            continue;
        bool isNoise = false;
        for (const QByteArray& pattern : noise)
            isNoise = isNoise || line.contains(pattern);
        if (!isNoise)
            passed += line + '\n';
    }
    for (qsizetype done = 0; done < passed.size();) {
        const ssize_t n = ::write(STDERR_FILENO, passed.constData() + done, size_t(passed.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
}

QByteArrayList videoHardwareProbeNoise()
{
    return {"Failed to open VDPAU backend", "libva info:", "libva error:", "[AVHWDeviceContext", "libcuda.so",
            "Cannot open the X11 display"};
}

} // namespace quillary
