// The file operations for shared folders, tried as the colleague would: a
// link planted at an output's name, a link or a pipe in place of a file,
// a folder swapped while it is in use.

#include "fs/SafeFs.h"
#include "support/TwoUsers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>

using namespace quillary;

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeText(const QString& path, const QByteArray& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

std::string local(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

class SafeFsTest : public QObject {
    Q_OBJECT

private slots:
    void followsOnlyLinksTheKernelWould_data()
    {
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("folderIsVictims"); // otherwise root's
        QTest::addColumn<bool>("linkIsVictims");   // otherwise the colleague's
        QTest::addColumn<bool>("followed");
        QTest::newRow("own link, sticky shared folder") << 01777 << false << true << true;
        QTest::newRow("colleague's link, sticky shared folder") << 01777 << false << false << false;
        QTest::newRow("colleague's link, group-writable folder") << 02770 << true << false << false;
        QTest::newRow("colleague's link, folder only the user writes") << 0755 << true << false << true;
        QTest::newRow("colleague's link, root's read-only folder") << 0755 << false << false << true;
        QTest::newRow("own link, group-writable folder") << 02770 << true << true << true;
    }
    void followsOnlyLinksTheKernelWould()
    {
        QFETCH(int, folderMode);
        QFETCH(bool, folderIsVictims);
        QFETCH(bool, linkIsVictims);
        QFETCH(bool, followed);
        QUILLARY_TWO_USERS(people);
        QTemporaryDir root;
        QVERIFY(QFile::setPermissions(root.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                       | QFile::ReadOther | QFile::ExeOther));
        const QString keep = root.filePath("keep"), shared = root.filePath("shared");
        QVERIFY(QDir().mkdir(keep) && QDir().mkdir(shared));
        QVERIFY(writeText(keep + "/x.txt", "mine") && twousers::give(keep + "/x.txt", people->victim)
                && twousers::give(keep, people->victim));
        QVERIFY(::chmod(QFile::encodeName(keep).constData(), 0700) == 0);
        if (folderIsVictims)
            QVERIFY(twousers::give(shared, people->victim, true));
        else
            QVERIFY(::chown(QFile::encodeName(shared).constData(), 0, people->victim.office) == 0);
        QVERIFY(::chmod(QFile::encodeName(shared).constData(), mode_t(folderMode)) == 0);
        const QString link = shared + "/out.pdf";
        QVERIFY(QFile::link(keep + "/x.txt", link));
        QVERIFY(twousers::give(link, linkIsVictims ? people->victim : people->colleague));

        const int result = twousers::as(people->victim, [&] {
            fs::Fd folder;
            std::string name, resolved;
            const fs::Status s = fs::followOutputLinks(local(link), &folder, &name, &resolved);
            if (s)
                return resolved == local(keep + "/x.txt") && name == "x.txt" ? 0 : 3;
            return s.message.find(local(link)) != std::string::npos && s.error == EACCES ? 1 : 2;
        });
        QCOMPARE(result, followed ? 0 : 1);
    }

    void followsRelativeLinksAndStopsAtFolders_data()
    {
        QTest::addColumn<QString>("target"); // of out.pdf, in a folder private to the test
        QTest::addColumn<QString>("resolved");
        QTest::addColumn<int>("error");
        QTest::newRow("no link") << QString() << "out.pdf" << 0;
        QTest::newRow("relative") << "sub/real.pdf" << "sub/real.pdf" << 0;
        QTest::newRow("chain") << "hop" << "sub/real.pdf" << 0;
        QTest::newRow("to a folder") << "sub" << "" << EISDIR;
        QTest::newRow("to a pipe") << "fifo" << "" << EINVAL;
        QTest::newRow("loop") << "out.pdf" << "" << ELOOP;
        QTest::newRow("into a missing folder") << "nowhere/x.pdf" << "nowhere/x.pdf" << ENOENT;
    }
    void followsRelativeLinksAndStopsAtFolders()
    {
        QFETCH(QString, target);
        QFETCH(QString, resolved);
        QFETCH(int, error);
        QTemporaryDir dir;
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0700) == 0);
        QVERIFY(QDir(dir.path()).mkdir("sub") && QFile::link("sub/real.pdf", dir.filePath("hop")));
        QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600) == 0);
        if (!target.isEmpty())
            QVERIFY(QFile::link(target, dir.filePath("out.pdf")));
        fs::Fd folder;
        std::string name, followed;
        const fs::Status s = fs::followOutputLinks(local(dir.filePath("out.pdf")), &folder, &name, &followed);
        if (error == ENOENT) { // reported when the folder is opened
            QCOMPARE(s.error, ENOENT);
            QVERIFY2(s.message.find("does not exist") != std::string::npos, s.message.c_str());
            return;
        }
        QCOMPARE(s.error, error);
        if (error == 0) {
            QCOMPARE(QString::fromStdString(followed), dir.filePath(resolved));
            struct stat a {}, b {};
            QVERIFY(::fstat(folder.get(), &a) == 0 && ::stat(QFile::encodeName(QFileInfo(dir.filePath(resolved)).path()).constData(), &b) == 0);
            QCOMPARE(a.st_ino, b.st_ino);
        }
    }

    void readsRegularFilesOnly_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("opened");
        QTest::newRow("regular file") << "file" << true;
        QTest::newRow("link to a file") << "link" << false;
        QTest::newRow("pipe") << "fifo" << false;
        QTest::newRow("folder") << "folder" << false;
    }
    void readsRegularFilesOnly()
    {
        QFETCH(QString, kind);
        QFETCH(bool, opened);
        QTemporaryDir dir;
        QVERIFY(writeText(dir.filePath("file"), "%PDF-"));
        QVERIFY(QFile::link(dir.filePath("file"), dir.filePath("link")));
        QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600) == 0);
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        fs::Fd folder, file;
        QVERIFY(fs::openFolder(local(dir.path()), &folder));
        const fs::Status s = fs::openRegularForReading(folder.get(), local(kind), &file);
        QCOMPARE(bool(s), opened);
        QCOMPARE(file.valid(), opened);
        if (!opened)
            QVERIFY2(s.message.rfind(local(kind) + ": ", 0) == 0, s.message.c_str());
    }

    void makesOnlyItsOwnFolders_data()
    {
        QTest::addColumn<QString>("there"); // what "done" is before
        QTest::addColumn<bool>("accepted");
        QTest::newRow("nothing: created") << "" << true;
        QTest::newRow("own folder") << "own" << true;
        QTest::newRow("link to a folder") << "link" << false;
        QTest::newRow("colleague's folder") << "colleague" << false;
        QTest::newRow("a file") << "file" << false;
    }
    void makesOnlyItsOwnFolders()
    {
        QFETCH(QString, there);
        QFETCH(bool, accepted);
        QUILLARY_TWO_USERS(people);
        QTemporaryDir dir;
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        const QString inbox = dir.filePath("in"), done = inbox + "/done";
        QVERIFY(QDir().mkdir(inbox) && twousers::give(inbox, people->victim, true)
                && ::chmod(QFile::encodeName(inbox).constData(), 02770) == 0);
        QVERIFY(QDir().mkdir(dir.filePath("private")) && twousers::give(dir.filePath("private"), people->victim));
        if (there == "own" || there == "colleague") {
            QVERIFY(QDir().mkdir(done) && twousers::give(done, there == "own" ? people->victim : people->colleague));
        } else if (there == "link") {
            QVERIFY(QFile::link(dir.filePath("private"), done) && twousers::give(done, people->colleague));
        } else if (there == "file") {
            QVERIFY(writeText(done, "") && twousers::give(done, people->colleague));
        }
        const int result = twousers::as(people->victim, [&] {
            fs::Fd in, held;
            if (!fs::openFolder(local(inbox), &in))
                return 3;
            const fs::Status s = fs::makeOwnFolder(in.get(), "done", 0700, ::geteuid(), &held);
            if (!s)
                return s.message.rfind("done: ", 0) == 0 ? 1 : 2;
            return fs::checkStillOwnFolder(in.get(), "done", held.get(), ::geteuid()) ? 0 : 4;
        });
        QCOMPARE(result, accepted ? 0 : 1);
    }

    void seesAFolderSwappedAfterItWasOpened_data()
    {
        QTest::addColumn<QString>("swap");
        QTest::addColumn<bool>("same");
        QTest::newRow("untouched") << "" << true;
        QTest::newRow("swapped for a link") << "link" << false;
        QTest::newRow("swapped for another folder") << "folder" << false;
    }
    void seesAFolderSwappedAfterItWasOpened()
    {
        QFETCH(QString, swap);
        QFETCH(bool, same);
        QTemporaryDir dir;
        fs::Fd parent, held;
        QVERIFY(fs::openFolder(local(dir.path()), &parent));
        QVERIFY(fs::makeOwnFolder(parent.get(), "done", 0700, ::geteuid(), &held));
        QVERIFY(writeText(dir.filePath("doc.pdf"), "original"));
        if (!swap.isEmpty()) {
            QVERIFY(QDir(dir.path()).rename("done", "elsewhere"));
            QVERIFY(swap == "link" ? QFile::link(dir.filePath("elsewhere"), dir.filePath("done"))
                                   : QDir(dir.path()).mkdir("done"));
        }
        QCOMPARE(bool(fs::checkStillOwnFolder(parent.get(), "done", held.get(), ::geteuid())), same);
        // A move relative to the held folder lands where the folder went, whatever its name now.
        QVERIFY(fs::renameAt(parent.get(), "doc.pdf", held.get(), "doc.pdf", true));
        QCOMPARE(bytesOf(dir.filePath(swap.isEmpty() ? "done/doc.pdf" : "elsewhere/doc.pdf")), QByteArray("original"));
    }

    void neverReplacesWhenAskedNotTo_data()
    {
        QTest::addColumn<bool>("noReplace");
        QTest::addColumn<QByteArray>("kept");
        QTest::newRow("no replace") << true << QByteArray("old");
        QTest::newRow("replace") << false << QByteArray("new");
    }
    void neverReplacesWhenAskedNotTo()
    {
        QFETCH(bool, noReplace);
        QFETCH(QByteArray, kept);
        QTemporaryDir dir;
        QVERIFY(writeText(dir.filePath("a"), "new") && writeText(dir.filePath("b"), "old"));
        fs::Fd folder;
        QVERIFY(fs::openFolder(local(dir.path()), &folder));
        const fs::Status s = fs::renameAt(folder.get(), "a", folder.get(), "b", noReplace);
        QCOMPARE(s.error, noReplace ? EEXIST : 0);
        QCOMPARE(bytesOf(dir.filePath("b")), kept);
    }
};

QTEST_GUILESS_MAIN(SafeFsTest)
#include "tst_safefs.moc"
