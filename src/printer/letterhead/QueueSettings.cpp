#include "printer/letterhead/QueueSettings.h"

#include <QList>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace quillary::letterhead {

namespace {

const QByteArray kBegin = "*% quillary-letterhead begin";
const QByteArray kEnd = "*% quillary-letterhead end";

// The value of the first "*keyword: value" line, quotes taken off.
std::optional<QString> attribute(const QList<QByteArray>& lines, const QByteArray& keyword)
{
    const QByteArray prefix = '*' + keyword + ':';
    for (const QByteArray& raw : lines) {
        if (!raw.startsWith(prefix))
            continue;
        QByteArray value = raw.mid(prefix.size()).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return QString::fromUtf8(value);
    }
    return std::nullopt;
}

QString number(double value)
{
    return QString::number(value, 'g', 10);
}

} // namespace

std::optional<bool> switchValue(const QString& value)
{
    const QString v = value.trimmed().toLower();
    if (v == u"on" || v == u"true" || v == u"yes" || v == u"1")
        return true;
    if (v == u"off" || v == u"false" || v == u"no" || v == u"0")
        return false;
    return std::nullopt;
}

std::optional<std::pair<double, double>> offsetPair(const QString& text)
{
    const QStringList parts = text.trimmed().split(QRegularExpression(QStringLiteral("\\s*,\\s*|\\s+")));
    if (parts.size() != 2)
        return std::nullopt;
    bool okX = false, okY = false;
    const double x = parts[0].toDouble(&okX), y = parts[1].toDouble(&okY);
    if (!okX || !okY || !std::isfinite(x) || !std::isfinite(y) || std::abs(x) > kMaxOffset || std::abs(y) > kMaxOffset)
        return std::nullopt;
    return std::pair{x, y};
}

SettingsResult readQueuePpd(const QByteArray& ppd)
{
    if (ppd.size() > kMaxPpdSize)
        return {std::nullopt, QStringLiteral("the queue's PPD is larger than %1 bytes").arg(kMaxPpdSize)};
    QList<QByteArray> lines = ppd.split('\n');
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);

    QueueSettings s;
    const auto folder = attribute(lines, kFolderKeyword);
    if (!folder)
        return {std::nullopt, QStringLiteral("the queue's PPD names no stationery folder (*%1): not a letterhead queue").arg(kFolderKeyword)};
    if (!folder->startsWith(u'/') || folder->contains(u"/../") || folder->endsWith(u"/..") || folder->contains(u'"'))
        return {std::nullopt, QStringLiteral("the stationery folder \"%1\" is no absolute folder name").arg(*folder)};
    s.folder = *folder;
    s.realPrinter = attribute(lines, kPrinterKeyword).value_or(QString());

    const QString layer = attribute(lines, kLayerKeyword).value_or(QStringLiteral("behind"));
    if (layer != u"behind" && layer != u"over")
        return {std::nullopt, QStringLiteral("*%1 is \"%2\", not \"behind\" or \"over\"").arg(kLayerKeyword, layer)};
    s.stationeryOver = layer == u"over";

    for (const auto& [keyword, x, y] : {std::tuple{kFirstOffsetKeyword, &s.firstOffsetX, &s.firstOffsetY},
                                        std::tuple{kOffsetKeyword, &s.offsetX, &s.offsetY}}) {
        const auto text = attribute(lines, keyword);
        if (!text)
            continue;
        const auto pair = offsetPair(*text);
        if (!pair)
            return {std::nullopt, QStringLiteral("*%1 is \"%2\", not two numbers of points").arg(keyword, *text)};
        *x = pair->first;
        *y = pair->second;
    }
    for (const auto& [option, flag] : {std::pair{kLetterheadOption, &s.letterhead}, std::pair{kTermsOption, &s.terms}}) {
        const auto text = attribute(lines, QByteArray("Default") + option);
        if (!text)
            continue;
        const auto on = switchValue(*text);
        if (!on)
            return {std::nullopt, QStringLiteral("*Default%1 is \"%2\", not On or Off").arg(option, *text)};
        *flag = *on;
    }
    return {s, {}};
}

std::optional<QString> optionValue(const QString& options, const QString& name)
{
    std::optional<QString> found;
    const qsizetype n = options.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && options[i].isSpace())
            ++i;
        if (i >= n)
            break;
        const qsizetype nameStart = i;
        while (i < n && !options[i].isSpace() && options[i] != u'=')
            ++i;
        const QString key = options.mid(nameStart, i - nameStart);
        if (i >= n || options[i] != u'=') {
            // A bare name: "name" is true, "noname" false.
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                found = QStringLiteral("true");
            else if (key.startsWith(u"no", Qt::CaseInsensitive) && key.mid(2).compare(name, Qt::CaseInsensitive) == 0)
                found = QStringLiteral("false");
            continue;
        }
        ++i; // '='
        QString value;
        int braces = 0;
        while (i < n && (braces > 0 || !options[i].isSpace())) {
            const QChar c = options[i];
            if (c == u'\\' && i + 1 < n) {
                value += options[i + 1];
                i += 2;
            } else if (c == u'"' || c == u'\'') {
                ++i;
                while (i < n && options[i] != c) {
                    if (options[i] == u'\\' && i + 1 < n)
                        ++i;
                    value += options[i++];
                }
                ++i; // closing quote (or the end)
            } else {
                braces += c == u'{' ? 1 : c == u'}' ? -1 : 0;
                value += c;
                ++i;
            }
        }
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            found = value;
    }
    return found;
}

ChoiceResult chooseForJob(const QueueSettings& queue, const QString& options)
{
    JobChoice choice{queue.letterhead, queue.terms};
    for (const auto& [option, flag] : {std::pair{kLetterheadOption, &choice.letterhead}, std::pair{kTermsOption, &choice.terms}}) {
        const auto value = optionValue(options, QString::fromLatin1(option));
        if (!value)
            continue;
        const auto on = switchValue(*value);
        if (!on)
            return {std::nullopt, QStringLiteral("the job's option %1=%2 is neither on nor off").arg(option, value->left(40))};
        *flag = *on;
    }
    // Without the letterhead the terms page goes too: it belongs to the stationery.
    if (!choice.letterhead)
        choice.terms = false;
    return {choice, {}};
}

QByteArray ppdBlock(const QueueSettings& s, const QString& filterProgram)
{
    const auto onOff = [](bool on) { return QByteArray(on ? "On" : "Off"); };
    QByteArray b;
    b += kBegin + '\n';
    b += "*cupsPreFilter: \"application/pdf 0 " + filterProgram.toUtf8() + "\"\n";
    b += QByteArray("*") + kFolderKeyword + ": \"" + s.folder.toUtf8() + "\"\n";
    b += QByteArray("*") + kPrinterKeyword + ": \"" + s.realPrinter.toUtf8() + "\"\n";
    b += QByteArray("*") + kLayerKeyword + ": \"" + (s.stationeryOver ? "over" : "behind") + "\"\n";
    b += QByteArray("*") + kFirstOffsetKeyword + ": \"" + number(s.firstOffsetX).toUtf8() + ' ' + number(s.firstOffsetY).toUtf8() + "\"\n";
    b += QByteArray("*") + kOffsetKeyword + ": \"" + number(s.offsetX).toUtf8() + ' ' + number(s.offsetY).toUtf8() + "\"\n";
    b += "*OpenGroup: Quillary/Letterhead\n";
    struct Ui {
        const char* keyword;
        const char* text;
        const char* german;
        bool on;
    };
    for (const Ui& ui : {Ui{kLetterheadOption, "Letterhead", "Briefpapier", s.letterhead},
                         Ui{kTermsOption, "Terms page", "AGB-Seite", s.terms}}) {
        const QByteArray k = ui.keyword;
        b += "*OpenUI *" + k + '/' + ui.text + ": PickOne\n";
        b += "*OrderDependency: 10 AnySetup *" + k + '\n';
        b += "*Default" + k + ": " + onOff(ui.on) + '\n';
        b += '*' + k + " On/On: \"\"\n";
        b += '*' + k + " Off/Off: \"\"\n";
        b += "*CloseUI: *" + k + '\n';
        b += "*de.Translation " + k + '/' + ui.german + ": \"\"\n";
        b += "*de." + k + " On/Ein: \"\"\n";
        b += "*de." + k + " Off/Aus: \"\"\n";
    }
    b += "*CloseGroup: Quillary\n";
    b += kEnd + '\n';
    return b;
}

QByteArray withoutPpdBlock(const QByteArray& ppd)
{
    QList<QByteArray> lines = ppd.split('\n');
    const bool endsWithNewline = ppd.endsWith('\n');
    if (endsWithNewline)
        lines.removeLast();
    QByteArrayList kept;
    bool inside = false;
    for (const QByteArray& line : std::as_const(lines)) {
        const QByteArray bare = line.endsWith('\r') ? line.chopped(1) : line;
        if (bare == kBegin)
            inside = true;
        else if (bare == kEnd)
            inside = false;
        else if (!inside)
            kept << line;
    }
    QByteArray out = kept.join('\n');
    if (endsWithNewline && !kept.isEmpty())
        out += '\n';
    return out;
}

} // namespace quillary::letterhead
