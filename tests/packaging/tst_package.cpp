// The installed tree and the Debian package: every file where desktops,
// cupsd and the program itself look for it, nothing else, the desktop entries
// valid, and the package's control data (dependencies, the printer's
// maintainer scripts, the backend only root may run).

#include "pdf/PdfChecks.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

struct FileRow {
    QString path;    // below the prefix
    int mode;        // permission bits; -1: any
    int iconSize;    // a PNG of this size; 0: not an icon
};

const QString appId = QStringLiteral(QUILLARY_APP_ID);

// "key" -> value of a desktop entry's main group.
QMap<QString, QString> desktopEntry(const QString& path)
{
    QMap<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    bool inMain = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inMain = line == QLatin1String("[Desktop Entry]");
        else if (inMain && line.contains(QLatin1Char('=')) && !line.startsWith(QLatin1Char('#')))
            keys[line.section(QLatin1Char('='), 0, 0).trimmed()] = line.section(QLatin1Char('='), 1).trimmed();
    }
    return keys;
}

struct Run {
    int status = -1;
    QString output;
};

Run run(const QString& program, const QStringList& arguments, const QMap<QString, QString>& environment = {})
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto it = environment.cbegin(); it != environment.cend(); ++it)
        env.insert(it.key(), it.value());
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(280000))
        return {-1, program + ": " + process.errorString()};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAll())};
}

bool haveProgram(const QString& name)
{
    return !QStandardPaths::findExecutable(name).isEmpty();
}

} // namespace

Q_DECLARE_METATYPE(FileRow)

class TestPackage : public QObject {
    Q_OBJECT

    QTemporaryDir staging;
    QString prefix; // the installed tree, as /usr would hold it

    QList<FileRow> expectedFiles() const
    {
        QList<FileRow> rows{
            {"bin/quillary", 0755, 0},
            {"bin/quillary-stamp", 0755, 0},
            // cupsd runs a backend as root only when nobody else may run it.
            {"lib/cups/backend/quillary", 0700, 0},
            {"share/ppd/quillary/quillary.ppd", 0644, 0},
            {QUILLARY_DATA_DIR "/translations/quillary_de.qm", 0644, 0},
            {QUILLARY_DATA_DIR "/translations/quillary_en.qm", 0644, 0},
            {"share/applications/" + appId + ".desktop", 0644, 0},
            {"share/metainfo/" + appId + ".metainfo.xml", 0644, 0},
            {"share/icons/hicolor/scalable/apps/" + appId + ".svg", 0644, 0},
            {"share/doc/quillary/README.md", 0644, 0},
        };
        for (const int size : {16, 22, 24, 32, 48, 64, 128, 256, 512})
            rows.append({QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(appId), 0644, size});
        return rows;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(staging.isValid());
        prefix = staging.filePath("usr");
        const Run install = run(QStringLiteral(QUILLARY_CMAKE),
                                {"--install", QUILLARY_BUILD_DIR, "--prefix", prefix, "--strip"});
        QVERIFY2(install.status == 0, qPrintable(install.output));
    }

    void installsEveryFileInItsPlace_data()
    {
        QTest::addColumn<FileRow>("row");
        for (const FileRow& row : expectedFiles())
            QTest::newRow(qPrintable(row.path)) << row;
    }
    void installsEveryFileInItsPlace()
    {
        QFETCH(FileRow, row);
        const QString file = prefix + '/' + row.path;
        struct stat info {};
        QVERIFY2(::stat(QFile::encodeName(file).constData(), &info) == 0 && S_ISREG(info.st_mode), qPrintable(file));
        if (row.mode >= 0)
            QCOMPARE(QString::number(info.st_mode & 07777, 8), QString::number(row.mode, 8));
        // Programs go out without their debugging information.
        if ((info.st_mode & S_IXUSR) && haveProgram("file")) {
            const Run type = run("file", {"-b", file});
            QVERIFY2(type.output.contains("ELF") && type.output.contains(", stripped"), qPrintable(type.output));
        }
        if (row.iconSize) {
            const QImage icon(file);
            QCOMPARE(icon.size(), QSize(row.iconSize, row.iconSize));
            QVERIFY(icon.hasAlphaChannel());
            // Drawn, not blank: the centre holds the page, a corner is clear.
            QVERIFY(qAlpha(icon.pixel(row.iconSize / 2, row.iconSize / 2)) > 200);
            QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
        }
    }

    void installsNothingElse()
    {
        QStringList expected;
        for (const FileRow& row : expectedFiles())
            expected << row.path;
        QStringList stray;
        QDirIterator it(prefix, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = QDir(prefix).relativeFilePath(it.next());
            if (!expected.contains(path))
                stray << path;
        }
        QVERIFY2(stray.isEmpty(), qPrintable(stray.join(", ")));
    }

    // The program looks for its tables beside itself, where they are installed.
    void programFindsItsInstalledTables()
    {
        const QDir tables(QDir(prefix + "/bin").filePath("../" QUILLARY_DATA_DIR "/translations"));
        QVERIFY2(tables.exists("quillary_de.qm") && tables.exists("quillary_en.qm"), qPrintable(tables.path()));
    }

    void desktopEntries_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("application");
        QTest::newRow("the application") << "share/applications/" + appId + ".desktop" << true;
        QTest::newRow("the print agent's autostart entry")
            << QStringLiteral(QUILLARY_SOURCE_DIR "/resources/print-service/") + appId + "-agent.desktop" << false;
    }
    void desktopEntries()
    {
        QFETCH(QString, entry);
        QFETCH(bool, application);
        const QString file = QDir::isAbsolutePath(entry) ? entry : prefix + '/' + entry;
        if (!haveProgram("desktop-file-validate"))
            QSKIP("desktop-file-validate is not installed (desktop-file-utils)");
        const Run validate = run("desktop-file-validate", {file});
        QVERIFY2(validate.status == 0 && validate.output.trimmed().isEmpty(), qPrintable(validate.output));

        const auto keys = desktopEntry(file);
        // The icon it names is installed.
        QCOMPARE(keys.value("Icon"), appId);
        QVERIFY(QFileInfo::exists(prefix + "/share/icons/hicolor/scalable/apps/" + keys.value("Icon") + ".svg"));
        // It starts the installed program.
        const QStringList exec = keys.value("Exec").split(' ');
        QVERIFY(QFileInfo(prefix + "/bin/" + exec.first()).isExecutable());
        QVERIFY(keys.contains("Name[de]") || keys.value("Name") == "Quillary");
        QVERIFY(keys.contains("Comment") && keys.contains("Comment[de]"));
        if (application) {
            // "Open with" on a PDF file hands its path over: print-service mode.
            QCOMPARE(keys.value("Exec"), QStringLiteral("quillary %f"));
            QVERIFY(keys.value("MimeType").split(';').contains("application/pdf"));
            QVERIFY(keys.value("Categories").split(';').contains("Office"));
            QVERIFY(keys.contains("GenericName") && keys.contains("GenericName[de]"));
            QVERIFY(keys.value("NoDisplay") != "true");
        } else {
            QCOMPARE(keys.value("Exec"), QStringLiteral("quillary --agent"));
            QCOMPARE(keys.value("NoDisplay"), QStringLiteral("true"));
        }
    }

    void appStreamDescription()
    {
        if (!haveProgram("appstreamcli"))
            QSKIP("appstreamcli is not installed (appstream)");
        const Run validate = run("appstreamcli", {"validate", "--no-net", prefix + "/share/metainfo/" + appId + ".metainfo.xml"});
        QVERIFY2(validate.status == 0, qPrintable(validate.output));
    }

    // The Debian package as the README's command makes it.
    void debianPackage()
    {
        if (!haveProgram("dpkg-deb") || !haveProgram("dpkg-shlibdeps"))
            QSKIP("dpkg-dev is not installed");
        QTemporaryDir out;
        QVERIFY(out.isValid());
        const Run cpack = run(QStringLiteral(QUILLARY_CPACK),
                              {"-G", "DEB", "-B", out.path(), "--config", QUILLARY_BUILD_DIR "/CPackConfig.cmake"});
        QVERIFY2(cpack.status == 0, qPrintable(cpack.output));
        const QStringList debs = QDir(out.path()).entryList({"quillary_*.deb"}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        const QString deb = out.filePath(debs.first());

        auto field = [&](const QString& name) { return run("dpkg-deb", {"-f", deb, name}).output.trimmed(); };
        QCOMPARE(field("Package"), QStringLiteral("quillary"));
        QCOMPARE(field("Section"), QStringLiteral("text"));
        QVERIFY(field("Maintainer").contains('@'));
        QVERIFY(field("Version").startsWith(QStringLiteral(QUILLARY_VERSION)));
        QVERIFY(!field("Description").isEmpty());
        const QString depends = field("Depends");
        for (const char* library : {"libqt6widgets6", "libqt6pdf6", "libqpdf29", "libplist3", "libcups2"})
            QVERIFY2(depends.contains(library), qPrintable(depends));
        const QString recommends = field("Recommends");
        for (const char* printing : {"cups-daemon", "cups-client", "cups-filters-core-drivers"})
            QVERIFY2(recommends.contains(printing), qPrintable(recommends));

        // The printer's maintainer scripts, runnable.
        const QString control = out.filePath("control");
        QVERIFY(run("dpkg-deb", {"-e", deb, control}).status == 0);
        for (const char* script : {"postinst", "prerm", "postrm"}) {
            const QFileInfo info(control + '/' + script);
            QVERIFY2(info.isExecutable(), script);
            QFile mine(QStringLiteral(QUILLARY_SOURCE_DIR "/packaging/debian/") + script), packed(info.filePath());
            QVERIFY(mine.open(QIODevice::ReadOnly) && packed.open(QIODevice::ReadOnly));
            QCOMPARE(packed.readAll(), mine.readAll());
        }

        // Files below /usr, root's, the backend root's alone.
        const Run contents = run("dpkg-deb", {"-c", deb});
        QVERIFY(contents.status == 0);
        bool sawBackend = false;
        for (const QString& line : contents.output.split('\n', Qt::SkipEmptyParts)) {
            const QStringList columns = line.simplified().split(' ');
            QVERIFY2(columns.size() >= 6, qPrintable(line));
            QCOMPARE(columns[1], QStringLiteral("root/root"));
            const QString path = columns.last();
            QVERIFY2(path == "./" || path.startsWith("./usr/"), qPrintable(path));
            if (path == "./usr/lib/cups/backend/quillary") {
                QCOMPARE(columns[0], QStringLiteral("-rwx------"));
                sawBackend = true;
            }
        }
        QVERIFY(sawBackend);
    }
};

QTEST_MAIN(TestPackage)
#include "tst_package.moc"
