// Importing a stationery page into the store: the input is the page file
// handed over (any bytes; a PDF made from them when they start like a page's
// content), imported new and over an existing page. What must hold: a page
// that cannot be used leaves the store as it was (no new file, the old page
// byte for byte, the list unchanged); one that is taken is a one-page PDF in
// the store, private to its owner, and listed once.

#include "FuzzSupport.h"

#include "pdf/PlainLines.h"
#include "store/CustomFileManager.h"

#include <QCoreApplication>

#include <sys/stat.h>

using namespace quillary;

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QMap<QString, QByteArray> storeFiles(const QString& dir)
{
    QMap<QString, QByteArray> all;
    for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (name != QLatin1String("settings.plist") && !name.startsWith(QLatin1String(".lock")) && !name.endsWith(QLatin1String(".lock")))
            all.insert(name, bytesOf(dir + QLatin1Char('/') + name));
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_page_import";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static ScopedPlainLineSink quiet{PlainLineSink()};
    static const QString storeDir = fuzz::scratchFile("store");
    static const QString first = [] {
        const QString path = fuzz::scratchFile("first.pdf");
        fuzz::writeOnePagePdf(path, "1 0 0 rg 0 800 595 42 re f\n");
        return path;
    }();
    const QString source = fuzz::scratchFile("page.pdf");
    // An input starting with byte 1 is the content of a page; any other is the file.
    if (size > 0 && data[0] == 0x01)
        fuzz::writeOnePagePdf(source, std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    else
        fuzz::writeFile(source, data, size);

    QDir(storeDir).removeRecursively();
    StoreConfig config;
    config.directory = storeDir;
    config.sampleLetterheadPath.clear();
    CustomFileManager store(config);
    FUZZ_CHECK(store.importPage(StoreKey::TemplateFirst, first).value == std::optional<int>(0));

    const auto overwrite = size > 1 && data[size - 1] % 2 ? store.pagePath(PageKind::Start, 0) : std::nullopt;
    const auto before = storeFiles(storeDir);
    const QStringList listedBefore = store.pagePaths(StoreKey::TemplateFirst);
    const ValueResult<int> imported = store.importPage(StoreKey::TemplateFirst, source, overwrite);
    const QStringList listed = store.pagePaths(StoreKey::TemplateFirst);
    if (!imported) {
        FUZZ_CHECK(!imported.error.isEmpty());
        FUZZ_CHECK(storeFiles(storeDir) == before);
        FUZZ_CHECK(listed == listedBefore);
        return 0;
    }
    FUZZ_CHECK(imported.value && *imported.value >= 0 && *imported.value < listed.size());
    const QString page = listed.at(*imported.value);
    FUZZ_CHECK(QFileInfo(page).path() == storeDir);
    FUZZ_CHECK(listed.count(page) == 1);
    struct stat info {};
    FUZZ_CHECK(::stat(QFile::encodeName(page).constData(), &info) == 0 && (info.st_mode & 0777) == 0600);
    FUZZ_CHECK(listed.size() == listedBefore.size() + (overwrite ? 0 : 1));
    return 0;
}
