// The platform pieces windows rely on: how a failure of the core is worded (a
// sentence chosen by the code, naming the file the core's line is about by
// its file name, never the core's English line), the string tables and the
// language picked, where the print-service entry goes, the hand-over of a
// second start, and the named images.

#include "pdf/PdfChecks.h"
#include "platform/DesktopHandlers.h"
#include "platform/FailureText.h"
#include "platform/InstanceGuard.h"
#include "platform/NamedImage.h"
#include "platform/PrintServiceLocation.h"
#include "platform/Translations.h"

#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <map>

using namespace quillary;

namespace {

const QString letter = QStringLiteral("/home/jo/Briefe/letter.pdf");
const QString head = QStringLiteral("/home/jo/.local/share/app.quillary.Quillary/startPage0.pdf");
const QString damaged = QStringLiteral("“%1” is damaged or not in a format Quillary can read.");

struct SentenceRow {
    ErrorCode code;
    QString line;
    QString sentence;
    QStringList known{letter}; // the files the window knows of
    bool german = false;
};

struct LanguageRow {
    QString locale;     // the locale the system names
    bool tables;        // the application's tables are there
    QString language;   // the table in use
    QString defaultName; // "Meine Vorlage", as the store names its first template
    QString termsTitle;  // the key "Terms of Service cant moved"
    QString qtCancel;    // Qt's own "Cancel" button; empty: Qt's English
};

struct LocationRow {
    QByteArray xdgConfigHome;
    QString folder; // "HOME" stands for the home folder
};

// A desktop with PDF handlers: desktop files in the system's applications
// folder, its mimeinfo.cache and the user's mimeapps.list.
struct HandlerRow {
    QStringList entries;  // "id|Exec" or "id|Exec|hidden"
    QString cache;        // the cache's "application/pdf=" list
    QString userDefaults; // the user's default for application/pdf
    QString userRemoved;  // associations the user removed
    QStringList expected; // program and arguments; empty: no handler
};

struct Message {
    QString source, translation;
    QString type; // "unfinished", "vanished", "obsolete" or empty
};

// A string table by "context: "source" (comment)".
std::map<QString, Message> readTable(const QString& path)
{
    std::map<QString, Message> messages;
    QFile file(path);
    QXmlStreamReader xml(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    QString context, comment;
    Message message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == u"message")
            messages[QStringLiteral("%1: \"%2\" (%3)").arg(context, message.source, comment)] = message;
        else if (xml.isStartElement() && xml.name() == u"name")
            context = xml.readElementText();
        else if (xml.isStartElement() && xml.name() == u"message")
            comment.clear();
        else if (xml.isStartElement() && xml.name() == u"source")
            message.source = xml.readElementText();
        else if (xml.isStartElement() && xml.name() == u"comment")
            comment = xml.readElementText();
        else if (xml.isStartElement() && xml.name() == u"translation") {
            message.type = xml.attributes().value(QLatin1String("type")).toString();
            message.translation = xml.readElementText();
        }
    }
    return messages;
}

// What a translation must keep of its source: the placeholders (sorted), the
// mnemonics ("&&" is a plain ampersand), the line breaks and a trailing
// space ("Created " is put before a date).
QString shape(const QString& text)
{
    static const QRegularExpression marker(QStringLiteral("%\\d{1,2}"));
    QStringList found;
    for (const auto& match : marker.globalMatch(text))
        found << match.captured(0);
    found.sort();
    return QStringLiteral("placeholders [%1], %2 mnemonics, %3 line breaks, trailing space %4")
        .arg(found.join(' '))
        .arg(QString(text).remove(QStringLiteral("&&")).count('&'))
        .arg(text.count('\n'))
        .arg(text.endsWith(' '));
}

} // namespace

Q_DECLARE_METATYPE(SentenceRow)
Q_DECLARE_METATYPE(LanguageRow)
Q_DECLARE_METATYPE(LocationRow)
Q_DECLARE_METATYPE(HandlerRow)

class TestPlatform : public QObject {
    Q_OBJECT

    QTemporaryDir temp;

private slots:
    void sentenceByCode_data()
    {
        pdfchecks::table<SentenceRow>({
            // The file the core's line is about, named by its file name.
            {"the document", {ErrorCode::Damaged, letter + ": xref", damaged.arg("letter.pdf"), {head, letter}}},
            {"a stationery page", {ErrorCode::Damaged, head + ": xref", damaged.arg("startPage0.pdf"), {letter, head}}},
            {"the first one named", {ErrorCode::Damaged, "cannot read " + head + ": copy of " + letter,
                                     damaged.arg("startPage0.pdf"), {letter, head}}},
            {"a longer name at the same place", {ErrorCode::Damaged, letter + ".bak: xref", damaged.arg("letter.pdf.bak"),
                                                 {letter, letter + ".bak"}}},
            // A file whose name only begins like a known one is another file.
            {"a scratch file beside the output", {ErrorCode::Damaged, letter + ".tmp-1234: xref",
                                                  "A file that is needed is damaged."}},
            {"named at the end", {ErrorCode::Damaged, "cannot be copied to " + letter, damaged.arg("letter.pdf")}},
            {"named twice, once as part of another", {ErrorCode::Damaged, letter + "x: xref, " + letter, damaged.arg("letter.pdf")}},
            {"a file the window does not know", {ErrorCode::Damaged, "/tmp/prev2.pdf: xref", "A file that is needed is damaged.",
                                                 {"", letter, head}}},
            {"missing", {ErrorCode::NotFound, letter + ": no such file", "“letter.pdf” does not exist."}},
            {"full disk", {ErrorCode::NoSpace, letter + ": No space", "The disk is full: “letter.pdf” could not be written."}},
            {"full disk on a scratch file", {ErrorCode::NoSpace, "/tmp/prev2.pdf: No space left", "The disk is full."}},
            {"password", {ErrorCode::PasswordProtected, letter + ": invalid password", "“letter.pdf” is protected by a password."}},
            {"folder", {ErrorCode::NotAFile, letter + ": is a folder", "“letter.pdf” is a folder, not a file."}},
            {"refused", {ErrorCode::Refused, letter + ": is the document",
                         "“letter.pdf” must not be replaced: it is the document itself or a file of the template store."}},
            {"bad password setting", {ErrorCode::InvalidInput, letter + ": the password: too long",
                                      "“letter.pdf” was not written: a password or another setting cannot be used."}},
            // The store's lock file means nothing to the user.
            {"locked store", {ErrorCode::Locked, letter + ": locked",
                              "Another Quillary window is changing the templates. Try again in a moment."}},
            {"template gone", {ErrorCode::Missing, "the template \"A\" is gone", "The template or one of its pages no longer exists."}},
            {"no pages", {ErrorCode::NoPages, letter + ": the document has no pages", "“letter.pdf” has no pages."}},
            {"unreadable", {ErrorCode::Unreadable, letter + ": Permission denied", "“letter.pdf” cannot be read."}},
            {"write failed", {ErrorCode::WriteFailed, letter + ": Input/output error", "“letter.pdf” could not be written."}},
            // Failures reach windows in the user's language.
            {"German, damaged", {ErrorCode::Damaged, letter + ": xref",
                                 "„letter.pdf“ ist beschädigt oder in einem Format, das Quillary nicht lesen kann.", {letter}, true}},
            {"German, full disk", {ErrorCode::NoSpace, "/tmp/prev2.pdf: No space", "Der Datenträger ist voll.", {}, true}},
        });
    }
    void sentenceByCode()
    {
        const auto row = pdfchecks::fetch<SentenceRow>();
        std::optional<Translations> german;
        if (row.german)
            german.emplace(QLocale(QStringLiteral("de_DE")), QStringList{":/quillary/translations"}, QString());
        QCOMPARE(FailureText::sentence(Result::failure(row.code, row.line), row.known), row.sentence);
    }

    // Every code has a sentence of its own, with a file and without; none
    // repeats the core's line or shows a folder (the file's own sentences are
    // pinned above).
    void everyCodeHasItsSentence()
    {
        QSet<QString> plainSentences;
        for (int code = int(ErrorCode::NotFound); code <= int(ErrorCode::Missing); ++code) {
            const QString named = FailureText::sentence(Result::failure(ErrorCode(code), letter + ": core reason"), {letter});
            const QString plain = FailureText::sentence(ErrorCode(code));
            QVERIFY2(!plain.isEmpty() && !plain.contains("core reason"), qPrintable(plain));
            QVERIFY2(!named.contains("core reason") && !named.contains("/home"), qPrintable(named));
            plainSentences << plain;
        }
        QCOMPARE(plainSentences.size(), int(ErrorCode::Missing) - int(ErrorCode::NotFound) + 1);
        QVERIFY(FailureText::sentence(ErrorCode::None).isEmpty());
        QCOMPARE(FailureText::shownName("/srv/folder/"), QStringLiteral("/srv/folder/"));
    }

    // Every tr() text of the sources is in the English and the German table
    // with a finished translation that keeps the shape of its source, and no
    // table keeps a text no source uses: scripts/update-translations.sh mends
    // both, with lupdate as here.
    void tablesAreCompleteAndCurrent()
    {
        QProcess lupdate;
        lupdate.setWorkingDirectory(QStringLiteral(QUILLARY_SOURCE_DIR));
        lupdate.start(QStringLiteral(QUILLARY_LUPDATE), {"-no-obsolete", "-locations", "none", "-extensions", "cpp,h,ui",
                                                         "src", "-ts", temp.filePath("sources.ts")});
        QVERIFY2(lupdate.waitForFinished(120000) && lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
                 lupdate.readAllStandardError().constData());
        const auto sources = readTable(temp.filePath("sources.ts"));
        QVERIFY(sources.size() > 100);
        QStringList faults;
        for (const QString language : {"en", "de"}) {
            const auto table = readTable(QStringLiteral(QUILLARY_SOURCE_DIR "/resources/translations/quillary_%1.ts").arg(language));
            for (const auto& [key, message] : sources)
                if (!table.count(key))
                    faults << key + " is not in quillary_" + language + ".ts";
            for (const auto& [key, message] : table) {
                if (!sources.count(key))
                    faults << key + " is used by no source";
                else if (!message.type.isEmpty() || message.translation.trimmed().isEmpty())
                    faults << key + " has no finished " + language + " translation";
                else if (shape(message.translation) != shape(message.source))
                    faults << key + " in " + language + ": " + shape(message.translation) + " against " + shape(message.source);
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    void followsTheSystemLanguage_data()
    {
        const QString germanTerms = "Die AGB-Seite lässt sich nicht verschieben", englishTerms = "The terms page cannot be moved";
        pdfchecks::table<LanguageRow>({
            {"German", {"de_DE", true, "de", "Meine Vorlage", germanTerms, "Abbrechen"}},
            {"Austrian German", {"de_AT", true, "de", "Meine Vorlage", germanTerms, "Abbrechen"}},
            {"English", {"en_GB", true, "en", "My template", englishTerms, ""}},
            // Without a table of its own: English, and Qt's buttons English
            // too rather than French beside English texts.
            {"French", {"fr_FR", true, "en", "My template", englishTerms, ""}},
            {"C", {"C", true, "en", "My template", englishTerms, ""}},
            {"no table at all: the keys", {"de_DE", false, "", "Meine Vorlage", "Terms of Service cant moved", ""}},
        });
    }
    void followsTheSystemLanguage()
    {
        const auto row = pdfchecks::fetch<LanguageRow>();
        const QString qtFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        if (!row.qtCancel.isEmpty() && !QFile::exists(qtFolder + "/qtbase_" + row.language + ".qm"))
            QSKIP("Qt's own translations are not installed (qt6-translations-l10n)");
        const auto translated = [] {
            return QStringList{QCoreApplication::translate("CustomFileManager", "Meine Vorlage"),
                               QCoreApplication::translate("quillary::PreviewController", "Terms of Service cant moved"),
                               QCoreApplication::translate("QPlatformTheme", "Cancel")};
        };
        const QStringList keys = translated();
        {
            // A folder without tables (the installed one of a build) is passed by.
            const QStringList folders{temp.path(), row.tables ? ":/quillary/translations" : temp.path()};
            const Translations translations(QLocale(row.locale), folders, qtFolder);
            QCOMPARE(translations.language(), row.language);
            QCOMPARE(translations.qtTranslated(), !row.qtCancel.isEmpty());
            QCOMPARE(translated(), (QStringList{row.defaultName, row.termsTitle,
                                                row.qtCancel.isEmpty() ? QStringLiteral("Cancel") : row.qtCancel}));
        }
        // Gone with the object: the next test sees the keys again.
        QCOMPARE(translated(), (QStringList{"Meine Vorlage", "Terms of Service cant moved", "Cancel"}));
    }

    void printServiceEntryFollowsXdgConfigHome_data()
    {
        pdfchecks::table<LocationRow>({
            {"empty", {"", "HOME/.config/autostart/"}},
            {"relative (invalid)", {"config", "HOME/.config/autostart/"}},
            {"absolute", {"/srv/conf", "/srv/conf/autostart/"}},
        });
    }
    void printServiceEntryFollowsXdgConfigHome()
    {
        const auto row = pdfchecks::fetch<LocationRow>();
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", temp.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", row.xdgConfigHome);
        const PrintServiceLocation location = printServiceLocation();
        qputenv("HOME", home);
        const QString folder = QString(row.folder).replace("HOME", temp.path());
        QCOMPARE(location.folder, folder);
        QCOMPARE(location.entry, folder + "app.quillary.Quillary-agent.desktop");
        // The entry starts the agent.
        QFile resource(location.resource);
        const QByteArray content = resource.open(QIODevice::ReadOnly) ? resource.readAll() : QByteArray();
        QVERIFY2(content.startsWith("[Desktop Entry]\n") && content.contains("\nExec=quillary --agent\n"), content.constData());
    }

    // Where the entry installed for every user is looked for, in order.
    void systemEntriesFollowXdgConfigDirs_data()
    {
        QTest::addColumn<QByteArray>("dirs");
        QTest::addColumn<QStringList>("folders");
        QTest::newRow("not set") << QByteArray() << QStringList{"/etc/xdg"};
        QTest::newRow("two folders") << QByteArray("/opt/xdg:/etc/xdg") << QStringList{"/opt/xdg", "/etc/xdg"};
        QTest::newRow("relative ones left out") << QByteArray("xdg:/srv/xdg:") << QStringList{"/srv/xdg"};
        QTest::newRow("nothing usable: the default") << QByteArray("xdg::") << QStringList{"/etc/xdg"};
    }
    void systemEntriesFollowXdgConfigDirs()
    {
        QFETCH(QByteArray, dirs);
        QFETCH(QStringList, folders);
        const QByteArray before = qgetenv("XDG_CONFIG_DIRS");
        qputenv("XDG_CONFIG_DIRS", dirs);
        const PrintServiceLocation location = printServiceLocation();
        qputenv("XDG_CONFIG_DIRS", before);
        QStringList expected;
        for (const QString& folder : folders)
            expected << folder + "/autostart/app.quillary.Quillary-agent.desktop";
        QCOMPARE(location.systemEntries, expected);
    }

    // "Open after saving" hands the file to the desktop's PDF program, never
    // back to Quillary, whichever way Quillary is registered.
    void pdfHandlerOtherThanQuillary_data()
    {
        const QString quillary = "app.quillary.Quillary.desktop|quillary %f";
        const QString viewer = "org.viewer.desktop|viewer --new %U";
        const QString reader = "reader.desktop|/opt/reader/bin/reader";
        pdfchecks::table<HandlerRow>({
            {"Quillary the user's default: the next one opens",
             {{quillary, viewer}, "app.quillary.Quillary.desktop;org.viewer.desktop;", "app.quillary.Quillary.desktop", "",
              {"viewer", "--new", "file:///saved/Brief%20an%20Jo.pdf"}}},
            {"the user's own default comes first",
             {{quillary, viewer, reader}, "org.viewer.desktop;reader.desktop;", "reader.desktop", "",
              {"/opt/reader/bin/reader", "/saved/Brief an Jo.pdf"}}},
            {"an association the user removed is passed over",
             {{viewer, reader}, "org.viewer.desktop;reader.desktop;", "", "org.viewer.desktop;",
              {"/opt/reader/bin/reader", "/saved/Brief an Jo.pdf"}}},
            {"a hidden entry is passed over",
             {{viewer + "|hidden", reader}, "org.viewer.desktop;reader.desktop;", "", "",
              {"/opt/reader/bin/reader", "/saved/Brief an Jo.pdf"}}},
            {"Quillary under another name is passed over",
             {{"q.desktop|/usr/local/bin/quillary --open %f", reader}, "q.desktop;reader.desktop;", "", "",
              {"/opt/reader/bin/reader", "/saved/Brief an Jo.pdf"}}},
            {"a default that is not installed is passed over",
             {{viewer}, "org.viewer.desktop;", "gone.desktop", "", {"viewer", "--new", "file:///saved/Brief%20an%20Jo.pdf"}}},
            {"field codes and quoting",
             {{"x.desktop|\"/opt/my viewer/run\" --title %c %f 100%%"}, "x.desktop;", "", "",
              {"/opt/my viewer/run", "--title", "/saved/Brief an Jo.pdf", "100%"}}},
            {"Quillary alone: none", {{quillary}, "app.quillary.Quillary.desktop;", "", "", {}}},
            {"nothing for PDF: none", {{}, "", "", "", {}}},
        });
    }
    void pdfHandlerOtherThanQuillary()
    {
        const auto row = pdfchecks::fetch<HandlerRow>();
        QTemporaryDir desktop;
        const QString applications = desktop.filePath("system/applications");
        QVERIFY(QDir().mkpath(applications) && QDir().mkpath(desktop.filePath("config")));
        auto write = [](const QString& path, const QString& text) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0);
        };
        for (const QString& entry : row.entries) {
            const QStringList parts = entry.split('|');
            write(applications + "/" + parts[0], "[Desktop Entry]\nType=Application\nName=" + parts[0] + "\nExec=" + parts[1]
                      + (parts.size() > 2 ? "\nHidden=true\n" : "\n") + "MimeType=application/pdf;\n");
        }
        write(applications + "/mimeinfo.cache", "[MIME Cache]\napplication/pdf=" + row.cache + "\n");
        write(desktop.filePath("config/mimeapps.list"), "[Default Applications]\napplication/pdf=" + row.userDefaults
                  + "\n[Removed Associations]\napplication/pdf=" + row.userRemoved + "\n");
        const std::pair<const char*, QString> environment[] = {
            {"XDG_CONFIG_HOME", desktop.filePath("config")}, {"XDG_CONFIG_DIRS", desktop.filePath("none")},
            {"XDG_DATA_HOME", desktop.filePath("nothing")}, {"XDG_DATA_DIRS", desktop.filePath("system")}};
        QList<std::pair<const char*, QByteArray>> saved;
        for (const auto& [name, value] : environment) {
            saved.append({name, qgetenv(name)});
            qputenv(name, value.toLocal8Bit());
        }
        const auto call = openCommandOtherThanQuillary("application/pdf", "/saved/Brief an Jo.pdf");
        for (const auto& [name, value] : saved)
            qputenv(name, value);
        QCOMPARE(call ? QStringList{call->program} + call->arguments : QStringList(), row.expected);
    }

    void secondStartHandsOverToTheFirst()
    {
        const QString socket = temp.filePath("management");
        QVERIFY(!InstanceGuard(socket).handOver()); // nobody there yet
        // A socket left behind by a process that ended is taken over.
        QVERIFY(QFile(socket).open(QIODevice::WriteOnly));
        InstanceGuard first(socket);
        QVERIFY(first.listen());
        QSignalSpy reopened(&first, &InstanceGuard::reopenRequested);
        // The second start runs on another thread, as it would in another process.
        bool handedOver = false;
        std::unique_ptr<QThread> second(QThread::create([&] { handedOver = InstanceGuard(socket).handOver(); }));
        second->start();
        QVERIFY(reopened.wait(5000));
        QVERIFY(second->wait(5000));
        QVERIFY(handedOver);
        QCOMPARE(reopened.size(), 1);
    }

    void namedImagesAreThere()
    {
        for (const char* name : {"kreis_voll", "kreis_leer", "button", "button_plus", "X_button", "quillary"}) {
            const QImage image = namedPixmap(name, QSize(32, 32), 2.0).toImage();
            QCOMPARE(image.size(), QSize(64, 64));
            QImage blank(image.size(), image.format());
            blank.fill(Qt::transparent);
            QVERIFY2(image != blank, name);
            QVERIFY2(!namedImage(name).isNull(), name);
        }
        QVERIFY(namedImage("no such image").isNull());
        QVERIFY(namedPixmap("no such image", QSize(32, 32), 1).isNull());
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
