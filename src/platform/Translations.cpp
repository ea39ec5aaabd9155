#include "platform/Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>

namespace quillary {

namespace {

const QString tableName = QStringLiteral("quillary");
const QString fallbackLanguage = QStringLiteral("en");

// "de" of "de_DE" and of "de-AT".
QString languageOf(const QString& name)
{
    return name.section(QLatin1Char('_'), 0, 0).section(QLatin1Char('-'), 0, 0);
}

} // namespace

Translations::Translations(const QLocale& locale, const QStringList& folders, const QString& qtFolder)
{
    for (const QString& folder : folders) {
        if (application.load(locale, tableName, QStringLiteral("_"), folder)) {
            applicationLoaded = true;
            break;
        }
    }
    if (!applicationLoaded) {
        for (const QString& folder : folders) {
            if (application.load(tableName + QLatin1Char('_') + fallbackLanguage, folder)) {
                applicationLoaded = true;
                break;
            }
        }
    }
    if (!applicationLoaded)
        return;
    QCoreApplication::installTranslator(&application);
    languageInUse = languageOf(application.language());
    if (languageInUse.isEmpty())
        languageInUse = fallbackLanguage;

    // Qt's table in the language the application speaks, so that a language
    // Quillary lacks does not give dialogs with foreign buttons.
    if (languageInUse != fallbackLanguage && !qtFolder.isEmpty()
        && qt.load(QLocale(languageInUse), QStringLiteral("qtbase"), QStringLiteral("_"), qtFolder)) {
        QCoreApplication::installTranslator(&qt);
        qtLoaded = true;
    }
}

Translations::~Translations()
{
    if (qtLoaded)
        QCoreApplication::removeTranslator(&qt);
    if (applicationLoaded)
        QCoreApplication::removeTranslator(&application);
}

QStringList Translations::defaultFolders()
{
    QStringList folders;
    if (QCoreApplication::instance())
        folders << QDir(QCoreApplication::applicationDirPath())
                       .filePath(QStringLiteral("../" QUILLARY_DATA_DIR "/translations"));
    folders << QStringLiteral(":/quillary/translations");
    return folders;
}

QString Translations::defaultQtFolder()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

} // namespace quillary
