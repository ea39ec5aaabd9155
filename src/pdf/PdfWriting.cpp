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

// The raw (still encoded) data of a stream in another document.
class RawStreamData : public QPDFObjectHandle::StreamDataProvider {
public:
    explicit RawStreamData(QPDFObjectHandle stream) : stream(std::move(stream)) {}
    void provideStreamData(QPDFObjGen const&, Pipeline* pipeline) override
    {
        stream.pipeStreamData(pipeline, 0, qpdf_dl_none);
    }

private:
    QPDFObjectHandle stream;
};

bool isPageTreeObject(QPDFObjectHandle object)
{
    if (!object.isDictionary())
        return false;
    QPDFObjectHandle type = object.getKey("/Type");
    return type.isNameAndEquals("/Page") || type.isNameAndEquals("/Pages");
}

} // namespace

QPDFObjectHandle ObjectCopier::copy(QPDFObjectHandle foreign)
{
    return copyDirect(foreign, 0);
}

QPDFObjectHandle ObjectCopier::copyDirect(QPDFObjectHandle foreign, int depth)
{
    if (depth > 256)
        return QPDFObjectHandle::newNull(); // nested beyond any real resource
    if (foreign.isIndirect()) {
        const QPDFObjGen id = foreign.getObjGen();
        if (auto it = copied.find(id); it != copied.end())
            return it->second;
        if (depth > 0 && isPageTreeObject(foreign))
            return copied.emplace(id, QPDFObjectHandle::newNull()).first->second;
        if (foreign.isStream()) {
            QPDFObjectHandle stream = QPDFObjectHandle::newStream(&destination);
            copied.emplace(id, stream);
            QPDFObjectHandle dict = foreign.getDict();
            QPDFObjectHandle target = stream.getDict();
            for (const std::string& key : dict.getKeys()) {
                if (key != "/Length")
                    target.replaceKey(key, copyDirect(dict.getKey(key), depth + 1));
            }
            stream.replaceStreamData(std::make_shared<RawStreamData>(foreign), target.getKey("/Filter"),
                                     target.getKey("/DecodeParms"));
            return stream;
        }
        // Placed first, filled in after: objects may refer to each other.
        QPDFObjectHandle placeholder = destination.makeIndirectObject(QPDFObjectHandle::newNull());
        copied.emplace(id, placeholder);
        QPDFObjectHandle body = foreign.isDictionary() || foreign.isArray() ? foreign : foreign.shallowCopy();
        destination.replaceObject(placeholder.getObjGen(), copyContainer(body, depth));
        return placeholder;
    }
    return copyContainer(foreign, depth);
}

QPDFObjectHandle ObjectCopier::copyContainer(QPDFObjectHandle foreign, int depth)
{
    if (foreign.isDictionary()) {
        if (depth > 0 && isPageTreeObject(foreign))
            return QPDFObjectHandle::newNull();
        QPDFObjectHandle result = QPDFObjectHandle::newDictionary();
        for (const std::string& key : foreign.getKeys())
            result.replaceKey(key, copyDirect(foreign.getKey(key), depth + 1));
        return result;
    }
    if (foreign.isArray()) {
        std::vector<QPDFObjectHandle> items;
        const int count = foreign.getArrayNItems();
        items.reserve(size_t(count));
        for (int i = 0; i < count; ++i)
            items.push_back(copyDirect(foreign.getArrayItem(i), depth + 1));
        return QPDFObjectHandle::newArray(items);
    }
    if (foreign.isStream() || foreign.isReserved())
        return QPDFObjectHandle::newNull(); // a direct stream cannot exist
    QPDFObjectHandle scalar = foreign.shallowCopy();
    scalar.makeDirect();
    return scalar;
}

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

Result writePdfToSink(QPDF& pdf, const QString& description, const OutputSink& sink, const WriterSetup& setup,
                      const MergeControl& control)
{
    SinkPipeline pipeline([&sink](const char* data, size_t length) { return sink(data, qint64(length)); }, control);
    try {
        if (!runWriter(pdf, pipeline, setup, control))
            return cancelled(description);
    } catch (const WriteFailed&) {
        return Result::failure(ErrorCode::WriteFailed, QStringLiteral("%1: the output could not be written").arg(description));
    }
    return Result::success();
}

} // namespace quillary
