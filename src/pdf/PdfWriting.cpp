#include "pdf/PdfWriting.h"

#include "pdf/AtomicFile.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstring>
#include <stdexcept>
#include <string_view>

namespace quillary {

QPDFObjectHandle sharedName(std::map<std::string, QPDFObjectHandle>& names, const std::string& name)
{
    auto it = names.find(name);
    if (it == names.end())
        it = names.emplace(name, QPDFObjectHandle::newName(name)).first;
    return it->second;
}

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

// Whether an object holds direct values only, to the given depth.
bool allDirect(QPDFObjectHandle object, int depth)
{
    if (depth > 8 || (object.isIndirect() && depth > 0))
        return false;
    if (object.isDictionary()) {
        for (const std::string& key : object.getKeys())
            if (!allDirect(object.getKey(key), depth + 1))
                return false;
    } else if (object.isArray()) {
        for (int i = 0, n = object.getArrayNItems(); i < n; ++i)
            if (!allDirect(object.getArrayItem(i), depth + 1))
                return false;
    }
    return true;
}

} // namespace

size_t SharedStreams::hashOf(const std::shared_ptr<Buffer>& data)
{
    return std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(data->getBuffer()), data->getSize()));
}

QPDFObjectHandle SharedStreams::find(const std::string& dictionary, const std::shared_ptr<Buffer>& data) const
{
    const auto [first, last] = entries.equal_range(hashOf(data));
    for (auto it = first; it != last; ++it) {
        const Entry& e = it->second;
        if (e.dictionary == dictionary && e.data->getSize() == data->getSize()
            && std::memcmp(e.data->getBuffer(), data->getBuffer(), data->getSize()) == 0)
            return e.copy;
    }
    return QPDFObjectHandle();
}

void SharedStreams::add(const std::string& dictionary, std::shared_ptr<Buffer> data, QPDFObjectHandle copy)
{
    const size_t hash = hashOf(data);
    entries.emplace(hash, Entry{dictionary, std::move(data), std::move(copy)});
}

QPDFObjectHandle ObjectCopier::copySharedStream(QPDFObjectHandle foreign)
{
    QPDFObjectHandle dict = foreign.getDict();
    QPDFObjectHandle length = dict.getKey("/Length");
    if (!length.isInteger() || length.getIntValue() < qint64(SharedStreams::MinimumBytes)
        || length.getIntValue() > qint64(SharedStreams::MaximumBytes))
        return QPDFObjectHandle();
    QPDFObjectHandle rest = QPDFObjectHandle::newDictionary();
    for (const std::string& key : dict.getKeys()) {
        if (key == "/Length")
            continue;
        if (!allDirect(dict.getKey(key), 1))
            return QPDFObjectHandle();
        rest.replaceKey(key, dict.getKey(key));
    }
    const std::string text = rest.unparse();
    std::shared_ptr<Buffer> data = foreign.getRawStreamData(); // still encoded
    if (QPDFObjectHandle same = shared->find(text, data); same.isInitialized())
        return same;
    QPDFObjectHandle stream = QPDFObjectHandle::newStream(&destination);
    QPDFObjectHandle target = stream.getDict();
    for (const std::string& key : rest.getKeys())
        target.replaceKey(key, copyDirect(rest.getKey(key), 1));
    stream.replaceStreamData(data, target.getKey("/Filter"), target.getKey("/DecodeParms"));
    shared->add(text, data, stream);
    return stream;
}

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
        if (foreign.isStream() && shared) {
            if (QPDFObjectHandle same = copySharedStream(foreign); same.isInitialized())
                return copied.emplace(id, same).first->second;
        }
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
