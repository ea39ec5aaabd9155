// Template store start-up on a store folder whose settings.plist is the input,
// then everything quillary-stamp reads from it: the template list, the records,
// the stored page paths and the tool's own resolution of each template.

#include "FuzzSupport.h"

#include "cli/StampRequest.h"
#include "pdf/PlainLines.h"
#include "pdf/TaskManager.h"
#include "store/CustomFileManager.h"

#include <QCoreApplication>
#include <QDir>


using namespace quillary;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_store_startup";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static const QString document = [] {
        const QString path = fuzz::scratchFile("doc.pdf");
        fuzz::writeOnePagePdf(path, "0 0 1 rg 10 10 50 50 re f\n");
        return path;
    }();
    static const QString storeDir = fuzz::scratchFile("store");

    QDir(storeDir).removeRecursively();
    QDir().mkpath(storeDir);
    fuzz::writeFile(storeDir + QStringLiteral("/settings.plist"), data, size);

    StoreConfig config;
    config.directory = storeDir;
    static ScopedPlainLineSink quiet{PlainLineSink()};
    CustomFileManager store(config);

    const auto list = store.loadTemplateList();
    if (!list)
        return 0;
    TaskManager::documentFormat = FormatA4;
    int seen = 0;
    for (const TemplateRecord& entry : *list) {
        if (++seen > 16)
            break;
        {
            const QString& templateName = entry.name;
            FUZZ_CHECK(store.templateExists(templateName));
            const QVariantMap& record = entry.properties;
            for (const char* key : {"frontPage", "secondaryPage", "termsOfConditions", "isOverlay", "docFormat"})
                (void)referenceText(record.value(QLatin1String(key)));
            if (const auto index = referenceIndex(record.value(QStringLiteral("frontPage"))))
                (void)store.pagePath(StoreKey::TemplateFirst, *index);

            cli::StampOptions options;
            options.documentPath = document;
            options.outputPath = fuzz::scratchFile("out.pdf");
            options.templateName = templateName;
            const cli::Resolution r = cli::resolveMergeRequest(options, {.store = &store});
            if (!r.request) {
                FUZZ_CHECK(!r.error.isEmpty());
                FUZZ_CHECK(r.exitCode == cli::ExitFailure || r.exitCode == cli::ExitUsage);
                continue;
            }
            // A page in use is a file that exists.
            for (const auto* path : {&r.request->startPagePath, &r.request->continuationPagePath,
                                     &r.request->termsPagePath}) {
                if (*path)
                    FUZZ_CHECK(QFileInfo(**path).isFile());
            }
        }
    }
    return 0;
}
