#include "controls/OnlyIntegerValueFormatter.h"

#include <cmath>

namespace quillary {

namespace {

// The decimal sign of the text as a point: "," always, and the locale's own
// sign where it is neither point nor comma.
QString withDecimalPoint(QString text, const QLocale& locale)
{
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    const QString decimal = locale.decimalPoint();
    if (decimal != QLatin1String(".") && decimal != QLatin1String(","))
        text.replace(decimal, QLatin1String("."));
    return text;
}

// Length of the float at the start of text after leading white space, as a
// scanner reads one: sign, digits, an optional fraction, an optional
// exponent that counts only when it has digits. 0 when there is no number.
qsizetype scannedFloatEnd(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i).isSpace())
        ++i;
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        ++i;
    qsizetype digits = 0;
    while (i < n && text.at(i).isDigit() && text.at(i).unicode() < 128)
        ++i, ++digits;
    if (i < n && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < n && text.at(i).isDigit() && text.at(i).unicode() < 128)
            ++i, ++digits;
    }
    if (digits == 0)
        return 0;
    if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < n && (text.at(j) == QLatin1Char('-') || text.at(j) == QLatin1Char('+')))
            ++j;
        const qsizetype exponentStart = j;
        while (j < n && text.at(j).isDigit() && text.at(j).unicode() < 128)
            ++j;
        if (j > exponentStart)
            i = j;
    }
    return i;
}

} // namespace

OnlyIntegerValueFormatter::OnlyIntegerValueFormatter(QObject* parent)
    : QValidator(parent)
{
    setLocale(QLocale());
}

bool OnlyIntegerValueFormatter::isPartialStringValid(const QString& text) const
{
    if (text.isEmpty())
        return true;
    const QString plain = withDecimalPoint(text, locale());
    if (plain == QLatin1String("-"))
        return true;
    const qsizetype end = scannedFloatEnd(plain);
    return end > 0 && end == plain.size();
}

QValidator::State OnlyIntegerValueFormatter::validate(QString& input, int&) const
{
    // Acceptable, not Intermediate, for the empty text and the lone minus:
    // the field must still report the end of editing so that its owner can
    // put the value back.
    return isPartialStringValid(input) ? Acceptable : Invalid;
}

QString OnlyIntegerValueFormatter::stringForValue(double value) const
{
    // Minus zero would read "-0.00".
    if (value == 0)
        value = 0;
    return locale().toString(value, 'f', 2);
}

std::optional<double> OnlyIntegerValueFormatter::valueForString(const QString& text) const
{
    const QString plain = withDecimalPoint(text, locale());
    const qsizetype end = scannedFloatEnd(plain);
    if (end == 0 || end != plain.size())
        return std::nullopt;
    // The C locale: the text has a point as decimal sign by now, whatever the
    // process locale says.
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = c.toDouble(plain.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace quillary
