#include "printer/office/OfficeCommand.h"

#include "printer/letterhead/QueueSettings.h"

#include <QRegularExpression>

namespace quillary::office {

bool validQueueName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9_.-]{0,126}$"));
    return pattern.match(name).hasMatch();
}

QString usageText()
{
    return QStringLiteral(
        "usage: quillary-printer add NAME --on QUEUE STATIONERY [LAYOUT] [--shared] [--description TEXT]\n"
        "       quillary-printer update NAME [STATIONERY] [LAYOUT]\n"
        "       quillary-printer remove NAME\n"
        "       quillary-printer list\n"
        "STATIONERY: --template T [--store DIR] | --start F [--continuation F] [--terms F]\n"
        "LAYOUT:     [--behind | --over] [--first-offset X,Y] [--offset X,Y]\n");
}

CommandResult parseCommand(const QStringList& arguments)
{
    const auto fail = [](const QString& why) { return CommandResult{std::nullopt, why}; };
    if (arguments.isEmpty())
        return fail(QStringLiteral("no command given"));
    OfficeCommand c;
    const QString verb = arguments[0];
    if (verb == u"add")
        c.action = Action::Add;
    else if (verb == u"update")
        c.action = Action::Update;
    else if (verb == u"remove")
        c.action = Action::Remove;
    else if (verb == u"list")
        c.action = Action::List;
    else if (verb == u"--help" || verb == u"-h" || verb == u"help")
        c.action = Action::Help;
    else
        return fail(QStringLiteral("unknown command \"%1\"").arg(verb.left(40)));

    qsizetype i = 1;
    if (c.action == Action::Add || c.action == Action::Update || c.action == Action::Remove) {
        if (i >= arguments.size() || arguments[i].startsWith(u'-'))
            return fail(QStringLiteral("%1 needs the NAME of a letterhead printer").arg(verb));
        c.name = arguments[i++];
        if (!validQueueName(c.name))
            return fail(QStringLiteral("\"%1\" cannot name a printer: use letters, digits, \"-\", \"_\" and \".\" (up to 127)").arg(c.name.left(130)));
    }

    const bool takesStationery = c.action == Action::Add || c.action == Action::Update;
    while (i < arguments.size()) {
        const QString option = arguments[i++];
        const auto value = [&]() -> std::optional<QString> {
            if (i >= arguments.size())
                return std::nullopt;
            return arguments[i++];
        };
        const auto needsValue = [&](std::optional<QString>& into) -> QString {
            if (into)
                return QStringLiteral("%1 is given twice").arg(option);
            into = value();
            if (!into || into->isEmpty())
                return QStringLiteral("%1 needs a value").arg(option);
            return {};
        };
        QString error;
        if (!takesStationery) {
            error = QStringLiteral("%1 takes no option %2").arg(verb, option.left(40));
        } else if (option == u"--on" && c.action == Action::Add) {
            std::optional<QString> queue;
            error = needsValue(queue);
            if (error.isEmpty() && !validQueueName(*queue))
                error = QStringLiteral("\"%1\" cannot name a printer").arg(queue->left(130));
            if (error.isEmpty())
                c.on = *queue;
        } else if (option == u"--template") {
            error = needsValue(c.templateName);
        } else if (option == u"--store") {
            error = needsValue(c.store);
        } else if (option == u"--start") {
            error = needsValue(c.start);
        } else if (option == u"--continuation") {
            error = needsValue(c.continuation);
        } else if (option == u"--terms") {
            error = needsValue(c.terms);
        } else if (option == u"--behind" || option == u"--over") {
            const bool over = option == u"--over";
            if (c.stationeryOver && *c.stationeryOver != over)
                error = QStringLiteral("--behind and --over exclude each other");
            c.stationeryOver = over;
        } else if (option == u"--first-offset" || option == u"--offset") {
            auto& into = option == u"--offset" ? c.offset : c.firstOffset;
            const auto text = value();
            if (into)
                error = QStringLiteral("%1 is given twice").arg(option);
            else if (!text)
                error = QStringLiteral("%1 needs X,Y in points").arg(option);
            else if (!(into = letterhead::offsetPair(*text)))
                error = QStringLiteral("%1 \"%2\" is not X,Y in points (each within %3)").arg(option, text->left(40)).arg(letterhead::kMaxOffset);
        } else if (option == u"--shared" && c.action == Action::Add) {
            c.shared = true;
        } else if (option == u"--description" && c.action == Action::Add) {
            error = needsValue(c.description);
        } else {
            error = QStringLiteral("%1 takes no option %2").arg(verb, option.left(40));
        }
        if (!error.isEmpty())
            return fail(error);
    }

    if (c.action == Action::Add && c.on.isEmpty())
        return fail(QStringLiteral("add needs --on QUEUE: the printer that prints"));
    if (c.action == Action::Add && c.on == c.name)
        return fail(QStringLiteral("a letterhead printer cannot print on itself"));
    if (c.templateName && (c.start || c.continuation || c.terms))
        return fail(QStringLiteral("--template and --start/--continuation/--terms exclude each other"));
    if (c.store && !c.templateName)
        return fail(QStringLiteral("--store needs --template"));
    if (c.action == Action::Add && !c.namesStationery())
        return fail(QStringLiteral("add needs stationery: --template T, or --start F"));
    if (c.action == Action::Update && !c.namesStationery() && !c.stationeryOver && !c.firstOffset && !c.offset)
        return fail(QStringLiteral("update needs something to change: stationery or layout"));
    return {c, {}};
}

} // namespace quillary::office
