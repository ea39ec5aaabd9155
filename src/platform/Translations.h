#pragma once

// The application's texts in the user's language.
//
// The string tables are keyed by the source texts, some of them German
// ("Meine Vorlage") and some terse ("Pls enter a name"); English is a table of
// its own, so a language without a table falls back to English, never to the
// keys. Qt's own texts (dialog buttons, the file and print dialogs) follow in
// the same language where Qt's translations are installed.

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTranslator>

namespace quillary {

class Translations {
public:
    // Installs the table for the first of locale's interface languages that
    // has one (the system locale reads LANGUAGE, then LC_ALL, LC_MESSAGES and
    // LANG), else English, looked up in folders in turn; and Qt's table
    // for that language from qtFolder. Removed again when destroyed.
    explicit Translations(const QLocale& locale = QLocale::system(), const QStringList& folders = defaultFolders(),
                          const QString& qtFolder = defaultQtFolder());
    ~Translations();
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    // The language in use ("de", "en"); empty when no table was found at all.
    QString language() const { return languageInUse; }
    // Whether Qt's own texts are translated too (they are English already
    // when the language is).
    bool qtTranslated() const { return qtLoaded; }

    // The installed tables beside the program (share/quillary/translations),
    // then the ones built into it.
    static QStringList defaultFolders();
    static QString defaultQtFolder();

private:
    QTranslator application;
    QTranslator qt;
    QString languageInUse;
    bool applicationLoaded = false;
    bool qtLoaded = false;
};

} // namespace quillary
