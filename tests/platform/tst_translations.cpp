// The string tables: every text the sources mark for translation has a
// finished English and German translation that keeps its placeholders,
// mnemonic and line breaks, the committed tables are current with the
// sources, and the application picks its language as the system names it.

#include "pdf/PdfChecks.h"
#include "platform/FailureText.h"
#include "platform/Translations.h"

#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <map>
#include <set>

using namespace quillary;

namespace {

struct Message {
    QString context, source, comment;
    QString translation;
    QString type; // "unfinished", "vanished", "obsolete" or empty
};

using Key = std::tuple<QString, QString, QString>; // context, source, comment

std::map<Key, Message> readTable(const QString& path, QString* language = nullptr)
{
    std::map<Key, Message> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    Message message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) {
            if (xml.isEndElement() && xml.name() == u"message")
                messages[{message.context, message.source, message.comment}] = message;
            continue;
        }
        if (xml.name() == u"TS" && language)
            *language = xml.attributes().value(QLatin1String("language")).toString();
        else if (xml.name() == u"name")
            context = xml.readElementText();
        else if (xml.name() == u"message")
            message = Message{context, {}, {}, {}, {}};
        else if (xml.name() == u"source")
            message.source = xml.readElementText();
        else if (xml.name() == u"comment")
            message.comment = xml.readElementText();
        else if (xml.name() == u"translation") {
            message.type = xml.attributes().value(QLatin1String("type")).toString();
            message.translation = xml.readElementText();
        }
    }
    if (xml.hasError())
        qWarning("%s: %s", qPrintable(path), qPrintable(xml.errorString()));
    return messages;
}

QString tablePath(const QString& language)
{
    return QStringLiteral(QUILLARY_SOURCE_DIR "/resources/translations/quillary_%1.ts").arg(language);
}

// %1 ... %99 as a sorted list (each kept once: "%1 and %1" needs both).
QStringList placeholders(const QString& text)
{
    static const QRegularExpression marker(QStringLiteral("%(\\d{1,2})"));
    QStringList found;
    for (const auto& match : marker.globalMatch(text))
        found << match.captured(0);
    found.sort();
    return found;
}

// Mnemonics: "&x" marks a shortcut key, "&&" is a plain ampersand.
int mnemonics(const QString& text)
{
    return int(QString(text).remove(QStringLiteral("&&")).count(QLatin1Char('&')));
}

QString describe(const Message& message)
{
    return QStringLiteral("%1: \"%2\"").arg(message.context, message.source);
}

struct LanguageRow {
    QString locale;        // the locale the system names
    QString language;      // the table in use
    QString defaultName;   // "Meine Vorlage" as the store names its first template
    QString qtCancel;      // Qt's own "Cancel" button; empty: Qt's English
};

} // namespace

Q_DECLARE_METATYPE(LanguageRow)

class TestTranslations : public QObject {
    Q_OBJECT

    QTemporaryDir temp;
    std::map<QString, std::map<Key, Message>> committed; // by language
    std::map<QString, std::map<Key, Message>> current;   // as lupdate finds the sources now

private slots:
    void initTestCase()
    {
        QVERIFY(temp.isValid());
        // lupdate on copies of the committed tables: what the update script
        // would make of them today.
        QStringList tables;
        for (const QString& language : {QStringLiteral("en"), QStringLiteral("de")}) {
            QString declared;
            committed[language] = readTable(tablePath(language), &declared);
            QVERIFY2(!committed[language].empty(), qPrintable(tablePath(language)));
            QCOMPARE(declared, language);
            const QString copy = temp.filePath(QStringLiteral("quillary_%1.ts").arg(language));
            QVERIFY(QFile::copy(tablePath(language), copy));
            QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
            tables << copy;
        }
        QProcess lupdate;
        lupdate.setWorkingDirectory(QStringLiteral(QUILLARY_SOURCE_DIR));
        lupdate.start(QStringLiteral(QUILLARY_LUPDATE),
                      QStringList{"-no-obsolete", "-locations", "none", "-extensions", "cpp,h,ui", "src", "-ts"}
                          + tables);
        QVERIFY2(lupdate.waitForFinished(120000), qPrintable(lupdate.errorString()));
        QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
                 lupdate.readAllStandardError().constData());
        current["en"] = readTable(tables[0]);
        current["de"] = readTable(tables[1]);
    }

    void tablesAreCurrentWithTheSources_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("English") << "en";
        QTest::newRow("German") << "de";
    }
    // A new tr() text is in the sources but not in the table, or a table
    // keeps a text no source uses any more: scripts/update-translations.sh.
    void tablesAreCurrentWithTheSources()
    {
        QFETCH(QString, language);
        QStringList added, gone;
        for (const auto& [key, message] : current[language])
            if (!committed[language].count(key))
                added << describe(message);
        for (const auto& [key, message] : committed[language])
            if (!current[language].count(key))
                gone << describe(message);
        QVERIFY2(added.isEmpty(), qPrintable("not in quillary_" + language + ".ts: " + added.join(QStringLiteral("; "))));
        QVERIFY2(gone.isEmpty(), qPrintable("used by no source: " + gone.join(QStringLiteral("; "))));
    }

    void everyTextIsTranslated_data() { tablesAreCurrentWithTheSources_data(); }
    void everyTextIsTranslated()
    {
        QFETCH(QString, language);
        QStringList faults;
        for (const auto& [key, message] : committed[language]) {
            const QString& text = message.translation;
            if (!message.type.isEmpty())
                faults << describe(message) + " is " + message.type;
            else if (text.trimmed().isEmpty())
                faults << describe(message) + " has no translation";
            else if (placeholders(text) != placeholders(message.source))
                faults << describe(message) + " loses or adds a placeholder: \"" + text + '"';
            else if (mnemonics(text) != mnemonics(message.source))
                faults << describe(message) + " loses or adds a mnemonic: \"" + text + '"';
            else if (text.count(QLatin1Char('\n')) != message.source.count(QLatin1Char('\n')))
                faults << describe(message) + " has other line breaks: \"" + text + '"';
            else if (text.endsWith(QLatin1Char(' ')) != message.source.endsWith(QLatin1Char(' ')))
                // "Created " is put before a date.
                faults << describe(message) + " loses or adds its trailing space: \"" + text + '"';
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }

    // German keys and terse keys read as English in the English table.
    void englishTableRewordsTheKeys_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("english");
        QTest::newRow("default template") << "CustomFileManager" << "Meine Vorlage" << "My template";
        QTest::newRow("name prompt") << "quillary::ConfigurationAssistantController" << "Pls enter a name"
                                     << "Please give the template a name.";
        QTest::newRow("terms alert") << "quillary::PreviewController" << "Terms of Service cant moved"
                                     << "The terms page cannot be moved";
    }
    void englishTableRewordsTheKeys()
    {
        QFETCH(QString, context);
        QFETCH(QString, source);
        QFETCH(QString, english);
        const auto found = committed["en"].find({context, source, QString()});
        QVERIFY2(found != committed["en"].end(), qPrintable(context + ": " + source));
        QCOMPARE(found->second.translation, english);
    }

    void followsTheSystemLanguage_data()
    {
        pdfchecks::table<LanguageRow>({
            {"German", {"de_DE", "de", "Meine Vorlage", "Abbrechen"}},
            {"Austrian German", {"de_AT", "de", "Meine Vorlage", "Abbrechen"}},
            {"English", {"en_GB", "en", "My template", ""}},
            // Without a table of its own: English, and Qt's buttons English
            // too rather than French beside English texts.
            {"French", {"fr_FR", "en", "My template", ""}},
            {"C", {"C", "en", "My template", ""}},
        });
    }
    void followsTheSystemLanguage()
    {
        const auto row = pdfchecks::fetch<LanguageRow>();
        const QString qtFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        if (!row.qtCancel.isEmpty() && !QFile::exists(qtFolder + "/qtbase_" + row.language + ".qm"))
            QSKIP("Qt's own translations are not installed (qt6-translations-l10n)");
        {
            // A folder without tables (the installed one of a build) is passed by.
            const Translations translations(QLocale(row.locale), {temp.path(), ":/quillary/translations"}, qtFolder);
            QCOMPARE(translations.language(), row.language);
            QCOMPARE(QCoreApplication::translate("CustomFileManager", "Meine Vorlage"), row.defaultName);
            QCOMPARE(translations.qtTranslated(), !row.qtCancel.isEmpty());
            if (!row.qtCancel.isEmpty())
                QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), row.qtCancel);
            else
                QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
        }
        // Gone with the object: the next test sees the keys again.
        QCOMPARE(QCoreApplication::translate("CustomFileManager", "Meine Vorlage"), QStringLiteral("Meine Vorlage"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
    }

    void noTableAtAllLeavesTheKeys()
    {
        const Translations translations(QLocale(QStringLiteral("de_DE")), {temp.path()}, QString());
        QVERIFY(translations.language().isEmpty());
        QCOMPARE(QCoreApplication::translate("CustomFileManager", "Meine Vorlage"), QStringLiteral("Meine Vorlage"));
    }

    // Failures of the core reach windows as a sentence in the user's language.
    void failuresAreTranslated()
    {
        const Translations translations(QLocale(QStringLiteral("de_DE")), {":/quillary/translations"}, QString());
        const Result damaged = Result::failure(ErrorCode::Damaged, "/home/jo/Briefe/brief.pdf: xref not found");
        QCOMPARE(FailureText::sentence(damaged, {"/home/jo/Briefe/brief.pdf"}),
                 QStringLiteral("„brief.pdf“ ist beschädigt oder in einem Format, das Quillary nicht lesen kann."));
        QCOMPARE(FailureText::sentence(ErrorCode::NoSpace), QStringLiteral("Der Datenträger ist voll."));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
