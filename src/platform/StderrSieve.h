#pragma once

// Holds back what the process writes on standard error while it lives and,
// when it ends, passes on every line but the known noise. For libraries that
// print on their own (a video driver loader reporting each driver it does
// not find) at moments the program can name. Main thread only; nothing is
// lost but the lines that match.

#include <QByteArrayList>

namespace quillary {

class StderrSieve {
public:
    // Lines containing any of noise are dropped.
    explicit StderrSieve(QByteArrayList noise);
    ~StderrSieve();
    StderrSieve(const StderrSieve&) = delete;
    StderrSieve& operator=(const StderrSieve&) = delete;

    // Whether standard error is being held back (false when it could not be).
    bool active() const { return saved >= 0; }

private:
    QByteArrayList noise;
    int saved = -1;   // the real standard error
    int capture = -1; // an unnamed file that takes its lines meanwhile
};

// What video decoders print while they look for graphics hardware.
QByteArrayList videoHardwareProbeNoise();

} // namespace quillary
