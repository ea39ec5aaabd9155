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
