#include "app/ProcessEntry.h"

#include "store/CustomFileManager.h"

#include <QFileInfo>
#include <QSettings>

namespace quillary {

RunMode chooseRunMode(const QStringList& arguments)
{
    if (arguments.size() < 2)
        return RunMode::Management;
    // Files and directories both count; anything else is silently ignored.
    return QFileInfo::exists(arguments.at(1)) ? RunMode::PrintService : RunMode::Management;
}

void echoArguments(const QStringList& arguments, std::FILE* out)
{
    for (const QString& argument : arguments) {
        const QByteArray line = argument.toLocal8Bit();
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), out);
        std::fputc('\n', out);
    }
    std::fflush(out);
}

void clearUserDefaults()
{
    QSettings settings(QStringLiteral(QUILLARY_BUNDLE_IDENTIFIER));
    settings.clear();
    settings.sync();
}

RunMode prepareProcess(const QStringList& arguments)
{
    CustomFileManager& store = sharedStore();
    store.storeDirectory();
    echoArguments(arguments);
    clearUserDefaults();
    return chooseRunMode(arguments);
}

} // namespace quillary
