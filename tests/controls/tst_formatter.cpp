// The decimal input formatter: which partial input it lets through while the
// user types, how it shows a value, and how it reads one.

#include "controls/OnlyIntegerValueFormatter.h"
#include "pdf/PdfChecks.h"

#include <QLineEdit>
#include <QtTest>

using namespace quillary;

struct PartialRow {
    QString text;
    bool valid;
};
Q_DECLARE_METATYPE(PartialRow)

struct ValueRow {
    QString locale;
    double value;
    QString shown;
};
Q_DECLARE_METATYPE(ValueRow)

struct ReadRow {
    QString text;
    std::optional<double> value;
};
Q_DECLARE_METATYPE(ReadRow)

class TestFormatter : public QObject {
    Q_OBJECT

private slots:
    void partialInput_data()
    {
        pdfchecks::table<PartialRow>({
            {"empty", {"", true}},
            {"a lone minus sign", {"-", true}},
            {"integer", {"12", true}},
            {"decimal comma", {"12,5", true}},
            {"decimal point", {"12.5", true}},
            {"negative decimal", {"-0,25", true}},
            {"exponent", {"1e3", true}},
            {"leading blank", {" 12", true}},
            {"point typed last", {"12.", true}},
            {"letter after digits", {"12a", false}},
            {"two minus signs", {"--", false}},
            {"comma then letter", {",a", false}},
            {"trailing blank", {"12 ", false}},
            {"a lone comma", {",", false}},
            {"exponent without digits", {"1e", false}},
            {"two decimal signs", {"1,2,3", false}},
        });
    }
    void partialInput()
    {
        const auto row = pdfchecks::fetch<PartialRow>();
        OnlyIntegerValueFormatter formatter;
        formatter.setLocale(QLocale::c());
        QCOMPARE(formatter.isPartialStringValid(row.text), row.valid);
        QString text = row.text;
        int position = int(text.size());
        QCOMPARE(formatter.validate(text, position) == QValidator::Acceptable, row.valid);
        QCOMPARE(text, row.text); // never rewritten
    }

    // Typed into a field, refused characters leave the field as it was.
    void fieldKeepsItsTextWhenInputIsRefused()
    {
        QLineEdit field;
        OnlyIntegerValueFormatter formatter;
        field.setValidator(&formatter);
        QTest::keyClicks(&field, "-1a2,5x");
        QCOMPARE(field.text(), QStringLiteral("-12,5"));
    }

    void valueShown_data()
    {
        pdfchecks::table<ValueRow>({
            {"point locale", {"C", 3, "3.00"}},
            {"comma locale", {"de_DE", 3, "3,00"}},
            {"rounded to two digits", {"C", 2.345, "2.35"}},
            {"negative", {"de_DE", -14.5, "-14,50"}},
            {"minus zero shows as zero", {"C", -0.0, "0.00"}},
        });
    }
    void valueShown()
    {
        const auto row = pdfchecks::fetch<ValueRow>();
        OnlyIntegerValueFormatter formatter;
        formatter.setLocale(QLocale(row.locale));
        QCOMPARE(formatter.stringForValue(row.value), row.shown);
    }

    void valueRead_data()
    {
        pdfchecks::table<ReadRow>({
            {"integer", {"10", 10.0}},
            {"decimal comma", {"10,5", 10.5}},
            {"decimal point", {"10.5", 10.5}},
            {"negative", {"-5", -5.0}},
            {"empty", {"", std::nullopt}},
            {"minus alone", {"-", std::nullopt}},
            {"letters", {"abc", std::nullopt}},
            {"trailing letters", {"12a", std::nullopt}},
        });
    }
    void valueRead()
    {
        const auto row = pdfchecks::fetch<ReadRow>();
        OnlyIntegerValueFormatter formatter;
        formatter.setLocale(QLocale(QStringLiteral("de_DE")));
        QCOMPARE(formatter.valueForString(row.text), row.value);
    }
};

QTEST_MAIN(TestFormatter)
#include "tst_formatter.moc"
