// The installed tree and the Debian package: every file where desktops,
// cupsd and the program itself look for it, nothing else, the desktop entries
// valid, and the package's control data (dependencies, the printer's
// maintainer scripts, the backend only root may run).

#include "pdf/PdfChecks.h"

#include <QDirIterator>
#include <QImage>
#include <QStandardPaths>

#include <sys/stat.h>

namespace {

const QString appId = QStringLiteral(QUILLARY_APP_ID);

struct Run {
    int status = -1;
    QString output;
};

Run run(const QString& program, const QStringList& arguments, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(280000))
        return {-1, program + ": " + process.errorString()};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, QString::fromLocal8Bit(process.readAll())};
}

bool haveProgram(const QString& name) { return !QStandardPaths::findExecutable(name).isEmpty(); }

// "key" -> value of a desktop entry's main group.
QMap<QString, QString> desktopEntry(const QString& path)
{
    QMap<QString, QString> keys;
    QFile file(path);
    bool inMain = false;
    for (const QString& raw : file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split('\n') : QStringList()) {
        const QString line = raw.trimmed();
        if (line.startsWith('['))
            inMain = line == "[Desktop Entry]";
        else if (inMain && line.contains('=') && !line.startsWith('#'))
            keys[line.section('=', 0, 0).trimmed()] = line.section('=', 1).trimmed();
    }
    return keys;
}

struct Entry { QString file; bool application; };

} // namespace

class TestPackage : public QObject {
    Q_OBJECT

    QTemporaryDir staging; // the installed tree, as / would hold it
    QString prefix;        // its /usr

private slots:
    void initTestCase()
    {
        prefix = staging.filePath("usr");
        // Through DESTDIR, as packagers install: the autostart entry goes to /etc.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DESTDIR", staging.path());
        const Run install = run(QStringLiteral(QUILLARY_CMAKE), {"--install", QUILLARY_BUILD_DIR, "--prefix", "/usr", "--strip"}, env);
        QVERIFY2(install.status == 0, qPrintable(install.output));
    }

    // Each file with its permission bits; icons a PNG of their size, drawn
    // (the centre holds the page, a corner is clear); programs without their
    // debugging information; nothing else.
    void installedTree()
    {
        QMap<QString, int> expected{
            {"usr/bin/quillary", 0755},
            {"usr/bin/quillary-stamp", 0755},
            {"usr/bin/quillary-printer", 0755},
            {"usr/lib/cups/filter/quillary-letterhead", 0755}, // run as cupsd's filter user
            {"usr/lib/cups/backend/quillary", 0700}, // cupsd runs a backend as root only when nobody else may run it
            {"usr/share/ppd/quillary/quillary.ppd", 0644},
            {"usr/" QUILLARY_DATA_DIR "/translations/quillary_de.qm", 0644},
            {"usr/" QUILLARY_DATA_DIR "/translations/quillary_en.qm", 0644},
            {"usr/share/applications/" + appId + ".desktop", 0644},
            {"usr/share/metainfo/" + appId + ".metainfo.xml", 0644},
            {"usr/share/icons/hicolor/scalable/apps/" + appId + ".svg", 0644},
            {"usr/share/doc/quillary/README.md", 0644},
            // Every user's session starts the print agent from the first login on.
            {"etc/xdg/autostart/" + appId + "-agent.desktop", 0644},
            // The spool's limits, for the administrator to change.
            {"etc/quillary/spool.conf", 0644},
        };
        for (const int size : {16, 22, 24, 32, 48, 64, 128, 256, 512})
            expected.insert(QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(appId), 0644);
        QStringList installed;
        for (QDirIterator it(staging.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories); it.hasNext();)
            installed << QDir(staging.path()).relativeFilePath(it.next());
        installed.sort();
        QCOMPARE(installed, expected.keys());

        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            const QString file = staging.filePath(it.key());
            struct stat info {};
            QVERIFY2(::lstat(QFile::encodeName(file).constData(), &info) == 0 && S_ISREG(info.st_mode), qPrintable(file));
            QCOMPARE(QString::number(info.st_mode & 07777, 8) + ' ' + it.key(), QString::number(it.value(), 8) + ' ' + it.key());
            if ((info.st_mode & S_IXUSR) && haveProgram("file")) {
                const Run type = run("file", {"-b", file});
                QVERIFY2(type.output.contains("ELF") && type.output.contains(", stripped"), qPrintable(type.output));
            }
            if (const int size = it.key().section('/', 4, 4).section('x', 0, 0).toInt(); it.key().endsWith(".png")) {
                const QImage icon(file);
                QCOMPARE(icon.size(), QSize(size, size));
                QVERIFY(icon.hasAlphaChannel() && qAlpha(icon.pixel(size / 2, size / 2)) > 200);
                QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
            }
        }
    }

    void desktopEntries_data()
    {
        pdfchecks::table<Entry>({
            {"the application", {"share/applications/" + appId + ".desktop", true}},
            {"the print agent's autostart entry", {"../etc/xdg/autostart/" + appId + "-agent.desktop", false}},
        });
    }
    void desktopEntries()
    {
        const Entry row = pdfchecks::fetch<Entry>();
        const QString file = QDir(prefix).filePath(row.file);
        if (!haveProgram("desktop-file-validate"))
            QSKIP("desktop-file-validate is not installed (desktop-file-utils)");
        const Run validate = run("desktop-file-validate", {file});
        QVERIFY2(validate.status == 0 && validate.output.trimmed().isEmpty(), qPrintable(validate.output));

        const auto keys = desktopEntry(file);
        // The icon it names is installed; it starts the installed program.
        QCOMPARE(keys.value("Icon"), appId);
        QVERIFY(QFileInfo::exists(prefix + "/share/icons/hicolor/scalable/apps/" + keys.value("Icon") + ".svg"));
        QVERIFY(QFileInfo(prefix + "/bin/" + keys.value("Exec").section(' ', 0, 0)).isExecutable());
        QVERIFY(keys.contains("Name[de]") || keys.value("Name") == "Quillary");
        QVERIFY(keys.contains("Comment") && keys.contains("Comment[de]"));
        // "Open with" on a PDF file hands its path over: print-service mode.
        QCOMPARE(keys.value("Exec"), row.application ? "quillary %f" : "quillary --agent");
        QCOMPARE(keys.value("NoDisplay") == "true", !row.application);
        if (row.application) {
            QVERIFY(keys.value("MimeType").split(';').contains("application/pdf"));
            QVERIFY(keys.value("Categories").split(';').contains("Office"));
            QVERIFY(keys.contains("GenericName") && keys.contains("GenericName[de]"));
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
        const Run cpack = run(QStringLiteral(QUILLARY_CPACK), {"-G", "DEB", "-B", out.path(), "--config", QUILLARY_BUILD_DIR "/CPackConfig.cmake"});
        QVERIFY2(cpack.status == 0, qPrintable(cpack.output));
        const QStringList debs = QDir(out.path()).entryList({"quillary_*.deb"}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        const QString deb = out.filePath(debs.first());

        auto field = [&](const QString& name) { return run("dpkg-deb", {"-f", deb, name}).output.trimmed(); };
        QCOMPARE(field("Package") + ' ' + field("Section"), QStringLiteral("quillary text"));
        QVERIFY(field("Maintainer").contains('@') && !field("Description").isEmpty());
        QVERIFY(field("Version").startsWith(QStringLiteral(QUILLARY_VERSION)));
        const QString depends = field("Depends"), recommends = field("Recommends");
        for (const char* library : {"libqt6widgets6", "libqt6pdf6", "libqpdf29", "libplist3", "libcups2", "liblcms2-2",
                                    "libfontconfig1", "fonts-urw-base35", "fonts-liberation2", "fonts-crosextra-carlito",
                                    "fonts-crosextra-caladea", "libgs10-common"})
            QVERIFY2(depends.contains(library), qPrintable(depends));
        for (const char* printing : {"cups-daemon", "cups-client", "cups-filters-core-drivers"})
            QVERIFY2(recommends.contains(printing), qPrintable(recommends));

        // The printer's maintainer scripts, runnable and as written.
        QVERIFY(run("dpkg-deb", {"-e", deb, out.filePath("control")}).status == 0);
        for (const char* script : {"postinst", "prerm", "postrm", "conffiles"}) {
            QFile mine(QStringLiteral(QUILLARY_SOURCE_DIR "/packaging/debian/") + script), packed(out.filePath("control/") + script);
            const bool program = QByteArray(script) != "conffiles";
            QVERIFY2(QFileInfo(packed).isExecutable() == program && mine.open(QIODevice::ReadOnly) && packed.open(QIODevice::ReadOnly), script);
            QCOMPARE(packed.readAll(), mine.readAll());
        }

        // Files below /usr, the limits file and the autostart entry, root's,
        // the backend root's alone; the two files below /etc configuration
        // files, so an administrator's edits survive upgrades.
        const Run contents = run("dpkg-deb", {"-c", deb});
        QVERIFY(contents.status == 0);
        QStringList backend, etc;
        const QString autostart = "./etc/xdg/autostart/" + appId + "-agent.desktop";
        for (const QString& line : contents.output.split('\n', Qt::SkipEmptyParts)) {
            const QStringList columns = line.simplified().split(' ');
            QVERIFY2(columns.size() >= 6 && columns[1] == "root/root", qPrintable(line));
            if (columns.last().startsWith("./etc/"))
                etc << columns.last();
            else
                QVERIFY2(columns.last() == "./" || columns.last().startsWith("./usr/"), qPrintable(line));
            if (columns.last() == "./usr/lib/cups/backend/quillary")
                backend << columns[0];
            if (columns.last() == autostart)
                QCOMPARE(columns[0], QStringLiteral("-rw-r--r--"));
        }
        QCOMPARE(backend, QStringList{"-rwx------"});
        etc.sort();
        QCOMPARE(etc, (QStringList{"./etc/", "./etc/quillary/", "./etc/quillary/spool.conf", "./etc/xdg/",
                                   "./etc/xdg/autostart/", autostart}));
        QFile conffiles(out.filePath("control/conffiles"));
        QVERIFY(conffiles.open(QIODevice::ReadOnly));
        QCOMPARE(conffiles.readAll(), "/etc/quillary/spool.conf\n" + autostart.mid(1).toUtf8() + '\n');
    }
};

QTEST_MAIN(TestPackage)
#include "tst_package.moc"
