// The manual (F1): offsets, passwords, the command-line tool and the case of
// no fitting template, in English and German, with the text kept off the
// frame.

#include "app/ManualWindow.h"
#include "platform/Translations.h"

#include <QTextBrowser>
#include <QTextDocument>
#include <QtTest>

#include <optional>

using namespace quillary;

class TestManual : public QObject {
    Q_OBJECT

private slots:
    void coversWhatUsersAsk_data()
    {
        QTest::addColumn<bool>("german");
        QTest::addColumn<QStringList>("headings");
        QTest::newRow("English") << false
                                 << QStringList{"Shifting the content (offsets)", "Passwords", "The command-line tool",
                                                "When no template fits"};
        QTest::newRow("German") << true
                                << QStringList{"Inhalt verschieben (Versatz)", "Passwörter", "Das Kommandozeilenwerkzeug",
                                               "Wenn keine Vorlage passt"};
    }
    void coversWhatUsersAsk()
    {
        QFETCH(bool, german);
        QFETCH(QStringList, headings);
        std::optional<Translations> translations;
        translations.emplace(german ? QLocale(QLocale::German, QLocale::Germany)
                                    : QLocale(QLocale::English, QLocale::UnitedStates));
        ManualWindow manual;
        const QString text = manual.textView()->toPlainText();
        for (const QString& heading : headings)
            QVERIFY2(text.contains(heading), qPrintable(heading));
        QVERIFY(text.contains("quillary-stamp"));
        // Translated throughout: no English paragraph left in the German manual.
        if (german)
            QVERIFY(!text.contains(" the ") && !text.contains("stationery"));
        // The text stands off the frame, as on a page.
        QVERIFY(manual.textView()->document()->documentMargin() >= 12);
    }
};

QTEST_MAIN(TestManual)
#include "tst_manual.moc"
