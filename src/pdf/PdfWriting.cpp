#include "pdf/PdfWriting.h"

#include "pdf/AtomicFile.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFWriter.hh>

#include <stdexcept>

namespace quillary {

namespace {

// Thrown through QPDFWriter to end a write at once.
struct WriteStopped : std::runtime_error {
    WriteStopped() : std::runtime_error("stopped") {}
};
struct WriteFailed : std::runtime_error {
    WriteFailed() : std::runtime_error("write failed") {}
};

// Hands what QPDFWriter writes to a sink. A failed write throws, so the writer
// stops at once instead of producing the rest of a file that cannot be kept.
// It throws once only: while the exception unwinds the writer, its pipelines
// are finished and write their last bytes here, and a second exception then
// would end the process.
class SinkPipeline : public Pipeline {
public:
    using Sink = std::function<bool(const char*, size_t)>;
    SinkPipeline(Sink sink, const MergeControl& control)
        : Pipeline("output", nullptr), sink(std::move(sink)), control(control) {}
    void write(unsigned char const* data, size_t length) override
    {
        if (ended)
            return;
        if (control.stopped()) {
            ended = true;
            throw WriteStopped();
        }
        if (!sink(reinterpret_cast<const char*>(data), length)) {
            ended = true;
            throw WriteFailed();
        }
    }
    void finish() override {}
    // Set by whoever else ends the write by throwing.
    void end() { ended = true; }

private:
    Sink sink;
    const MergeControl& control;
    bool ended = false;
};

Result cancelled(const QString& what)
{
    return Result::failure(ErrorCode::Cancelled, QStringLiteral("%1: stopped").arg(what));
}

// Runs the writer into pipeline. Returns false when the write was stopped.
bool runWriter(QPDF& pdf, SinkPipeline& pipeline, const WriterSetup& setup, const MergeControl& control)
{
    if (control.stopped())
        return false;
    QPDFWriter writer(pdf);
    writer.setOutputPipeline(&pipeline);
    if (setup)
        setup(writer);
    if (control.progress || control.stop) {
        writer.registerProgressReporter(std::make_shared<QPDFWriter::FunctionProgressReporter>([&](int percent) {
            if (control.stopped()) {
                pipeline.end();
                throw WriteStopped();
            }
            if (control.progress)
                control.progress(percent);
        }));
    }
    try {
        writer.write();
    } catch (const WriteStopped&) {
        return false;
    }
    return true;
}

} // namespace

Result writePdfAtomically(QPDF& pdf, const QString& destination, const WriterSetup& setup,
                          const MergeControl& control)
{
    if (control.stopped())
        return cancelled(destination);
    AtomicFile file(destination);
    if (Result opened = file.open(); !opened)
        return opened;
    SinkPipeline pipeline([&file](const char* data, size_t length) { return file.write(data, qint64(length)); },
                          control);
    try {
        if (!runWriter(pdf, pipeline, setup, control))
            return cancelled(destination); // the file discards itself
    } catch (const WriteFailed&) {
        return file.commit(); // reports the write that failed, and discards
    }
    return file.commit();
}

ValueResult<QByteArray> writePdfToBytes(QPDF& pdf, const QString& description, const WriterSetup& setup,
                                        const MergeControl& control)
{
    QByteArray bytes;
    SinkPipeline pipeline([&bytes](const char* data, size_t length) {
        bytes.append(data, qsizetype(length));
        return true;
    }, control);
    if (!runWriter(pdf, pipeline, setup, control))
        return cancelled(description);
    return ValueResult<QByteArray>::of(std::move(bytes));
}

} // namespace quillary
