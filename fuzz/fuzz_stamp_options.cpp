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
    using Mode = StampOptions::Mode;
    if (o.mode != Mode::Stamp && o.mode != Mode::Batch && o.mode != Mode::Watch)
        return 0;
    switch (o.mode) {
    case Mode::Stamp:
        FUZZ_CHECK(!o.documentPath.isEmpty() && !o.outputPath.isEmpty());
        FUZZ_CHECK(!o.outputDirectory && !o.watchDirectory && !o.suffix && o.jobs == 0);
        break;
    case Mode::Batch:
        FUZZ_CHECK(o.outputDirectory && !o.outputDirectory->isEmpty() && !o.watchDirectory);
        FUZZ_CHECK(!o.documentPaths.isEmpty() && !o.documentPaths.contains(QString()));
        break;
    default: // Watch
        FUZZ_CHECK(o.outputDirectory && o.watchDirectory && !o.watchDirectory->isEmpty());
        FUZZ_CHECK(o.documentPaths.isEmpty());
        break;
    }
    FUZZ_CHECK(!o.suffix || !o.suffix->contains(QLatin1Char('/')));
    FUZZ_CHECK(o.jobs >= 0 && o.jobs <= kMaxJobs);
    FUZZ_CHECK(!o.settleSeconds || (o.mode == Mode::Watch && *o.settleSeconds > 0));
    bool anyFile = false;
    for (const PageChoice& page : o.pages) {
        FUZZ_CHECK(!(page.file && page.off));
        FUZZ_CHECK(!page.file || !page.file->isEmpty());
        anyFile = anyFile || page.file;
    }
    FUZZ_CHECK(o.templateName || anyFile);
    FUZZ_CHECK(!(o.behind && o.over));
    for (const PasswordChoice* password : {&o.password, &o.ownerPassword}) {
        FUZZ_CHECK(!(password->text && password->file));
        FUZZ_CHECK(!password->text || !password->text->isEmpty());
    }
    FUZZ_CHECK(!(o.password.fromStandardInput() && o.ownerPassword.fromStandardInput()));
    FUZZ_CHECK(!o.ownerPassword.given() || o.forbidPrint);
    for (const QPointF& p : {o.firstPageOffset, o.continuationOffset})
        FUZZ_CHECK(std::isfinite(p.x()) && std::isfinite(p.y()));
    return 0;
}
