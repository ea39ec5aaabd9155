// quillary-stamp's command-line parser on arbitrary argument lists (the input
// split at NUL bytes). Whatever it accepts must be a complete request.

#include "FuzzSupport.h"

#include "cli/StampOptions.h"

using namespace quillary;
using namespace quillary::cli;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QStringList arguments{QStringLiteral("quillary-stamp")};
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const QByteArray& part : bytes.split('\0'))
        arguments << QString::fromUtf8(part);
    const ParseOutcome outcome = parseStampOptions(arguments);
    if (!outcome.options) {
        FUZZ_CHECK(!outcome.error.isEmpty());
        FUZZ_CHECK(!outcome.error.contains(QLatin1Char('\n')));
        return 0;
    }
    const StampOptions& o = *outcome.options;
    if (o.mode != StampOptions::Mode::Stamp)
        return 0;
    FUZZ_CHECK(!o.documentPath.isEmpty() && !o.outputPath.isEmpty());
    FUZZ_CHECK(o.templateName || o.start.source == PageSource::File || o.continuation.source == PageSource::File
               || o.terms.source == PageSource::File);
    FUZZ_CHECK(o.saveOptions.contains(SaveOptions::ALLOW_PRINT));
    FUZZ_CHECK(o.saveOptions.contains(SaveOptions::WITH_PASSWORD));
    FUZZ_CHECK(o.saveOptions.contains(SaveOptions::PASSWORD));
    if (o.saveOptions.value(SaveOptions::WITH_PASSWORD).toBool())
        FUZZ_CHECK(!o.saveOptions.value(SaveOptions::PASSWORD).toString().isEmpty());
    if (!o.saveOptions.value(SaveOptions::ALLOW_PRINT).toBool())
        FUZZ_CHECK(!o.saveOptions.value(SaveOptions::OWNER_PASSWORD).toString().isEmpty());
    for (const QPointF& p : {o.firstPageOffset, o.continuationOffset})
        FUZZ_CHECK(std::isfinite(p.x()) && std::isfinite(p.y()));
    return 0;
}
