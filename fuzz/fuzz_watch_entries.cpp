// The watched folder's handling of names and file kinds. The input makes a
// drop folder: entries with made-up names (any bytes but '/' and NUL), each a
// PDF, a text, a link to a private file or folder, a pipe, or a folder, and
// possibly done/ or failed/ as a link. One short watch runs over it. What
// must hold: the private files are untouched, nothing but regular files left
// the drop folder, nothing reached the output folder that was not a regular
// PDF, and every failure note is one line.

#include "FuzzSupport.h"

#include "cli/FolderWatch.h"
#include "cli/RunReport.h"
#include "cli/StampOptions.h"
#include "cli/StampRequest.h"
#include "pdf/PlainLines.h"

#include <QCoreApplication>
#include <QDirIterator>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillary;

namespace {

std::string local(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every entry below folder (links not followed) with its kind and bytes,
// by the bytes of its name: names that are not UTF-8 must not fold together.
std::map<std::string, QByteArray> snapshot(const QString& folder)
{
    std::map<std::string, QByteArray> all;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(local(folder), error), end; !error && it != end;
         it.increment(error)) {
        const std::string path = it->path().native();
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0)
            continue;
        QByteArray bytes = QByteArray::number(int(info.st_mode & S_IFMT));
        if (S_ISREG(info.st_mode)) {
            QFile file;
            const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            if (fd >= 0 && file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
                bytes = file.readAll();
            else if (fd >= 0)
                ::close(fd);
        }
        all[path] = bytes;
    }
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_watch_entries";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static ScopedPlainLineSink quiet{PlainLineSink()};
    static const QString root = fuzz::scratchFile("watch");
    static const QString stationery = [] {
        const QString path = fuzz::scratchFile("s.pdf");
        fuzz::writeOnePagePdf(path, "1 0 0 rg 0 800 595 42 re f\n");
        return path;
    }();
    static const std::string pdf = [] {
        const QString path = fuzz::scratchFile("doc.pdf");
        fuzz::writeOnePagePdf(path, "0 0 1 rg 10 10 50 50 re f\n");
        return bytesOf(path).toStdString();
    }();

    std::error_code ignored;
    std::filesystem::remove_all(local(root), ignored); // by bytes: some names are not UTF-8
    const QString in = root + "/in", out = root + "/out", secret = root + "/private";
    QDir().mkpath(in);
    QDir().mkpath(out);
    QDir().mkpath(secret);
    fuzz::writeFile(secret + "/private.pdf", reinterpret_cast<const uint8_t*>(pdf.data()), pdf.size());
    fuzz::writeFile(secret + "/notes.txt", reinterpret_cast<const uint8_t*>("mine"), 4);
    const auto privateBefore = snapshot(secret);

    // Entries: a kind byte, a length byte, then that many name bytes.
    std::set<std::string> odd; // names of entries that are not regular files
    for (size_t at = 0, count = 0; at + 2 <= size && count < 8; ++count) {
        const uint8_t kind = data[at] % 8;
        const size_t length = std::min<size_t>(data[at + 1] % 40, size - at - 2);
        std::string entry(reinterpret_cast<const char*>(data + at + 2), length);
        at += 2 + length;
        for (char& c : entry)
            if (c == '/' || c == '\0')
                c = '_';
        if (kind < 6 && (entry.size() < 4 || entry.compare(entry.size() - 4, 4, ".pdf") != 0))
            entry += ".pdf";
        if (kind == 6)
            entry = "done";
        if (kind == 7)
            entry = "failed";
        if (entry == "." || entry == ".." || entry.size() > 200)
            continue;
        const std::string path = local(in) + "/" + entry;
        struct stat there {};
        if (::lstat(path.c_str(), &there) == 0)
            continue;
        switch (kind) {
        case 0: fuzz::writeFile(QFile::decodeName(path.c_str()), reinterpret_cast<const uint8_t*>(pdf.data()), pdf.size()); break;
        case 1: fuzz::writeFile(QFile::decodeName(path.c_str()), data, std::min<size_t>(size, 64)); break;
        case 2: ::symlink(local(secret + "/private.pdf").c_str(), path.c_str()); break;
        case 3: ::symlink(local(secret).c_str(), path.c_str()); break;
        case 4: ::mkfifo(path.c_str(), 0600); break;
        case 5: ::mkdir(path.c_str(), 0700); break;
        default: ::symlink(local(secret).c_str(), path.c_str()); break;
        }
        if (kind >= 2)
            odd.insert(path);
    }
    const auto inBefore = snapshot(in);

    const cli::ParseOutcome parsed =
        cli::parseStampOptions({"quillary-stamp", "--start", stationery, "--watch", in, "--output-dir", out});
    FUZZ_CHECK(parsed.options.has_value());
    const cli::StampOptions options = *parsed.options;
    const cli::PlanMaker makePlan = [&] { return cli::resolvePlan(options, {}); };
    QString said, told;
    QTextStream err(&said), stdoutText(&told);
    cli::RunReport report(err, false);
    std::atomic<bool> stop = false;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        stop = true;
    });
    const int status = cli::runWatch({.inbox = in, .outbox = out, .suffix = {}, .jobs = 1, .settleSeconds = 0.01},
                                     makePlan, report, stdoutText, stop);
    stopper.join();

    FUZZ_CHECK(snapshot(secret) == privateBefore);
    FUZZ_CHECK(status == 0 || status == 1);
    // Whatever is not a regular file is where it was, as it was.
    const auto inAfter = snapshot(in);
    for (const std::string& path : odd) {
        if (path.ends_with("/done") || path.ends_with("/failed"))
            continue;
        FUZZ_CHECK(inAfter.contains(path) && inBefore.at(path) == inAfter.at(path));
    }
    // Only regular PDFs were stamped.
    for (const auto& [output, bytes] : snapshot(out))
        FUZZ_CHECK(!odd.contains(local(in) + output.substr(local(out).size())));
    // Each failure note is one line (in the watch's own failed/, not where a
    // planted link leads).
    if (!QFileInfo(in + "/failed").isSymLink())
        for (const QString& note : QDir(in + "/failed").entryList({"*.txt"}, QDir::Files | QDir::Hidden))
            FUZZ_CHECK(bytesOf(in + "/failed/" + note).count('\n') == 1);
    // Every line said is one line: no name breaks it.
    for (const QString& line : said.split('\n', Qt::SkipEmptyParts))
        FUZZ_CHECK(line.startsWith(QStringLiteral("quillary-stamp: ")));
    return 0;
}
