#include "app/ProcessEntry.h"

#include "platform/Ui.h"
#include "store/CustomFileManager.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>

namespace quillary {

RunMode chooseRunMode(const QStringList& arguments)
{
    if (arguments.size() < 2)
        return RunMode::Management;
    const QString& path = arguments.at(1);
    if (path.isEmpty())
        return RunMode::Management;
    const QFileInfo info(path);
    return info.exists() && !info.isDir() ? RunMode::PrintService : RunMode::NoDocument;
}

void refuseDocument(const QString& path)
{
    const QFileInfo info(path);
    const QString text = info.isDir()
        ? QCoreApplication::translate("ProcessEntry", "\"%1\" is a folder, not a PDF document.").arg(path)
        : QCoreApplication::translate("ProcessEntry", "\"%1\" does not exist.").arg(path);
    Ui::instance().alert(nullptr, QCoreApplication::translate("ProcessEntry", "Quillary cannot open this document"), text);
    Ui::instance().exitProcess(1);
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
