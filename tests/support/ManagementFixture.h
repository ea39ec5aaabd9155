#pragma once

// What the tests of the management windows share: one store per test
// process in a temporary home (with its printed lines captured and a fixed
// clock), the print-service entry pointed into that home, test PDFs made on
// demand, templates set up through the store, and drops sent as a drag would.

#include "pdf/PlainLines.h"
#include "platform/PrintServiceLocation.h"
#include "store/CustomFileManager.h"
#include "store/SharedData.h"
#include "support/TestPdfs.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace fixture {

inline QTemporaryDir& home()
{
    static QTemporaryDir dir;
    return dir;
}

// Every line the store printed since the last clear.
inline QStringList& storeLines()
{
    static QStringList lines;
    return lines;
}

inline const QString kEntryResource = QStringLiteral(":/quillary/print-service/app.quillary.Quillary-agent.desktop");
inline QString serviceFolder() { return home().filePath(QStringLiteral("config/autostart")); }
inline QString serviceEntry() { return serviceFolder() + QStringLiteral("/quillary-agent.desktop"); }

// Call once, in initTestCase, before anything touches the store.
inline void setUpStore()
{
    QVERIFY(home().isValid());
    quillary::StoreConfig config;
    config.directory = home().filePath(QStringLiteral("store"));
    config.clock = [] { return QDateTime(QDate(2026, 12, 5), QTime(12, 0)); };
    quillary::configureSharedStore(config);
    // For the whole test process.
    static quillary::ScopedPlainLineSink sink([](const QString& line) { storeLines() << line; });
    QCOMPARE(quillary::sharedStore().storeDirectory(), config.directory);
    quillary::injectPrintServiceLocation([] {
        return quillary::PrintServiceLocation{kEntryResource, serviceFolder() + QLatin1Char('/'), serviceEntry()};
    });
    // Where a print agent would hold its lock: no agent of the real user counts.
    const QString runtime = home().filePath(QStringLiteral("run"));
    QVERIFY(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
}

// A one-page PDF of that size, made once per name (the suffix as given).
inline QString pdf(const QString& name, QSizeF size = testpdfs::A4Whole, bool whiteBackground = false,
                   const QString& suffix = QStringLiteral("pdf"))
{
    QDir().mkpath(home().filePath(QStringLiteral("pdfs")));
    const QString path = home().filePath(QStringLiteral("pdfs/") + name + QLatin1Char('.') + suffix);
    if (!QFileInfo::exists(path))
        testpdfs::writePdf(path, {testpdfs::TestPage{.size = size, .text = name, .whiteBackground = whiteBackground}});
    return path;
}

// Pages of a template to set up: "" none, otherwise a PDF path.
struct Setup {
    QString name;
    QString start;
    QString continuation = {};
    QString terms = {};
};

// The store holds exactly these templates, in this order (first at the top),
// and the editing state is as at process start.
inline void resetTemplates(const QList<Setup>& wanted)
{
    quillary::CustomFileManager& store = quillary::sharedStore();
    QVERIFY(store.reload().ok()); // what the file holds, whatever a test did to it
    for (const auto& record : store.templateRecords().value_or(QList<quillary::TemplateRecord>()))
        QVERIFY(store.removeTemplate(record.name).ok());
    for (auto it = wanted.crbegin(); it != wanted.crend(); ++it) {
        quillary::TemplateEdit edit;
        edit.typedName = it->name;
        edit.sources = {it->start, it->continuation, it->terms};
        const quillary::Result saved = store.saveTemplate(edit);
        QVERIFY2(saved.ok(), qPrintable(saved.error));
    }
    quillary::SharedData::reset();
    storeLines().clear();
}

inline QStringList storedNames()
{
    QStringList names;
    for (const auto& record : quillary::sharedStore().templateRecords().value_or(QList<quillary::TemplateRecord>()))
        names << record.name;
    return names;
}

inline quillary::TemplateRecord stored(const QString& name)
{
    return quillary::sharedStore().templateNamed(name).value_or(quillary::TemplateRecord{});
}

// The stored file of a template's page; empty when it has none.
inline QString storedPage(const QString& name, quillary::PageKind kind)
{
    const auto index = stored(name).pageIndex(kind);
    return index ? quillary::sharedStore().pagePath(kind, *index).value_or(QString()) : QString();
}

// A drag of url entering target and, when it was taken, dropped: true when
// the drop was taken. dropAnyway drops also after a refused enter, handing
// the drop to the widget itself: the application delivers none without an
// accepted drag, so only this way reaches the widget's own check.
inline bool drop(QWidget* target, const QUrl& url, bool dropAnyway = false)
{
    QMimeData mime;
    mime.setUrls({url});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted() && !dropAnyway)
        return false;
    QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    dropAnyway ? static_cast<QObject*>(target)->event(&dropped) : QApplication::sendEvent(target, &dropped);
    return dropped.isAccepted();
}
inline bool drop(QWidget* target, const QString& path, bool dropAnyway = false)
{
    return drop(target, QUrl::fromLocalFile(path), dropAnyway);
}

// While it lives, no file grows beyond one byte: the disk is full, as far
// as this process can tell. One byte, so that the first file the store
// writes (its lock file, whose size depends on the host name and the
// process id) fails on every machine.
class FullDisk {
public:
    FullDisk()
    {
        std::signal(SIGXFSZ, SIG_IGN); // a failed write, not a dead process
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit tiny{1, saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &tiny);
    }
    ~FullDisk() { ::setrlimit(RLIMIT_FSIZE, &saved); }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

private:
    rlimit saved{};
};

inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace fixture
