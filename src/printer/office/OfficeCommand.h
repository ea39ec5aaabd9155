#pragma once

// quillary-printer's command line, parsed without touching anything:
//
//   quillary-printer add NAME --on QUEUE STATIONERY [LAYOUT] [--shared] [--description TEXT]
//   quillary-printer update NAME [STATIONERY] [LAYOUT]
//   quillary-printer remove NAME
//   quillary-printer list
//
// STATIONERY: --template T [--store DIR] | --start F [--continuation F] [--terms F]
// LAYOUT:     [--behind|--over] [--first-offset X,Y] [--offset X,Y]

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace quillary::office {

enum class Action { Add, Update, Remove, List, Help };

struct OfficeCommand {
    Action action = Action::Help;
    QString name;   // the letterhead queue
    QString on;     // the real printer's queue (add)
    std::optional<QString> templateName, store;
    std::optional<QString> start, continuation, terms;
    std::optional<bool> stationeryOver; // --over / --behind
    std::optional<std::pair<double, double>> firstOffset, offset;
    bool shared = false;
    std::optional<QString> description;

    bool namesStationery() const { return templateName || start || continuation || terms; }
};

struct CommandResult {
    std::optional<OfficeCommand> command;
    QString error; // one line; the usage follows it
};

// arguments without the program name.
CommandResult parseCommand(const QStringList& arguments);

// A queue name CUPS and a folder name both take: letters, digits, "-", "_"
// and "." (not first), at most 127 characters.
bool validQueueName(const QString& name);

QString usageText();

} // namespace quillary::office
