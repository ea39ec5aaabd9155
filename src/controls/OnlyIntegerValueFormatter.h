#pragma once

#include <QLocale>
#include <QValidator>

#include <optional>

namespace quillary {

// The number formatter of the numeric fields: despite its name it takes and
// shows decimal numbers with two fraction digits. While the user types it
// lets through what can still become a number (nothing, a lone minus sign,
// a float from the start of the text to its end, with a comma or the
// locale's decimal sign as decimal point) and refuses the rest, so the field
// keeps its previous text.
class OnlyIntegerValueFormatter : public QValidator {
    Q_OBJECT
public:
    explicit OnlyIntegerValueFormatter(QObject* parent = nullptr);

    // Judges partial input; never rewrites it.
    State validate(QString& input, int& pos) const override;
    // The same judgement without a field: true when validate() lets text through.
    bool isPartialStringValid(const QString& text) const;

    // A value with two fraction digits in the formatter's locale ("3.00", "3,00").
    QString stringForValue(double value) const;
    // The whole text as a number, decimal comma or point, leading blanks
    // skipped; nothing when the text is not one number.
    std::optional<double> valueForString(const QString& text) const;
};

} // namespace quillary
