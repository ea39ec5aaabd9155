#include "support/RecordingUi.h"

RecordingUi::RecordingUi()
    : previous(quillary::Ui::install(this))
{
}

RecordingUi::~RecordingUi()
{
    quillary::Ui::install(previous);
}

QStringList RecordingUi::kinds() const
{
    QStringList result;
    for (const Call& call : calls)
        result << call.kind;
    return result;
}

QList<RecordingUi::Call> RecordingUi::callsOf(const QString& kind) const
{
    QList<Call> result;
    for (const Call& call : calls)
        if (call.kind == kind)
            result << call;
    return result;
}

QStringList RecordingUi::alerts() const
{
    QStringList result;
    for (const Call& call : callsOf(QStringLiteral("alert")))
        result << call.title + QLatin1Char('|') + call.text;
    return result;
}

void RecordingUi::alert(QWidget*, const QString& title, const QString& text, quillary::AlertKind kind)
{
    static const char* const levels[] = {"information", "warning", "error"};
    calls << Call{QStringLiteral("alert"), title, text, {}, QLatin1String(levels[int(kind)])};
}

quillary::SaveChoice RecordingUi::askToSave(QWidget*, const QString& title, const QString& text)
{
    calls << Call{QStringLiteral("ask to save"), title, text, {}};
    if (saveChoiceReplies.empty())
        return quillary::SaveChoice::Cancel;
    const quillary::SaveChoice reply = saveChoiceReplies.front();
    saveChoiceReplies.pop_front();
    return reply;
}

bool RecordingUi::confirm(QWidget*, const QString& title, const QString& text, const QString& acceptLabel,
                          const QString& cancelLabel)
{
    calls << Call{QStringLiteral("confirm"), title, text, {acceptLabel, cancelLabel}};
    if (confirmReplies.empty())
        return false;
    const bool reply = confirmReplies.front();
    confirmReplies.pop_front();
    return reply;
}

std::optional<QString> RecordingUi::chooseFileToOpen(QWidget*, const QString& title, const QStringList& suffixes)
{
    calls << Call{QStringLiteral("open panel"), title, {}, suffixes};
    if (openReplies.empty())
        return std::nullopt;
    const auto reply = openReplies.front();
    openReplies.pop_front();
    return reply;
}

std::optional<QString> RecordingUi::chooseSaveFile(QWidget*, const QString& proposedName, QWidget* accessory)
{
    calls << Call{QStringLiteral("save panel"), proposedName, {}, {}};
    if (saveReplies.empty())
        return std::nullopt;
    const auto reply = saveReplies.front();
    saveReplies.pop_front();
    return reply ? reply(accessory) : std::nullopt;
}

bool RecordingUi::choosePrinter(QWidget*, QPrinter& printer)
{
    calls << Call{QStringLiteral("print dialog"), {}, {}, {}};
    if (printReplies.empty())
        return false;
    const auto reply = printReplies.front();
    printReplies.pop_front();
    return reply && reply(printer);
}

bool RecordingUi::openFile(const QString& path)
{
    calls << Call{QStringLiteral("open file"), {}, {}, {path}};
    return openFileSucceeds;
}

bool RecordingUi::mailFile(const QString& path)
{
    calls << Call{QStringLiteral("mail"), {}, {}, {path}};
    return mailSucceeds;
}

bool RecordingUi::startDetached(const QString& program, const QStringList& arguments)
{
    calls << Call{QStringLiteral("start"), {}, {}, QStringList{program} + arguments};
    return true;
}

void RecordingUi::exitProcess(int status)
{
    calls << Call{QStringLiteral("exit"), {}, {}, {QString::number(status)}};
    exitStatus = status;
}
